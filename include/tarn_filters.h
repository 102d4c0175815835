/* tarn_filters.h: the class ids and names under which vidtap.dll and nullsinker.dll register their filters.
 * C89; needs nothing but the compiler. The class ids come as initialisers, so that a program declares its own
 * CLSID object with the platform's type:
 *
 *   static const CLSID vidtapClassId = TARN_VIDTAP_CLASS_ID;
 *   CoCreateInstance(&vidtapClassId, NULL, CLSCTX_INPROC_SERVER, &IID_IBaseFilter, (void **)&vidtap);
 *
 * (C++: CoCreateInstance(vidtapClassId, nullptr, ...)). Both filters register with MERIT_DO_NOT_USE: the
 * platform's automatic graph building never picks them, an application adds them to its graph by class id.
 * The modules themselves take their ids and names from here.
 */
#ifndef TARN_FILTERS_H
#define TARN_FILTERS_H

/* vidtap: the capture sink that publishes every frame into the camera channel (tarn_camera_channel.h). */
#define TARN_VIDTAP_CLASS_ID \
    {0xEC7AE514, 0xC493, 0x4385, {0x86, 0x9A, 0x8B, 0xBF, 0xBA, 0xC7, 0x09, 0xC9}}
#define TARN_VIDTAP_CLASS_ID_STRING "{EC7AE514-C493-4385-869A-8BBFBAC709C9}"
#define TARN_VIDTAP_CLASS_NAME L"Vidtap"            /* the class key's default value */
#define TARN_VIDTAP_FILTER_NAME L"TARN_Vidtap"      /* the name the filter mapper lists */

/* nullsinker: the null sink that accepts any media type and drops every sample. */
#define TARN_NULLSINKER_CLASS_ID \
    {0xCF1663CF, 0x839C, 0x4D7F, {0x8C, 0x11, 0xE9, 0x4F, 0xBF, 0xDD, 0x59, 0x49}}
#define TARN_NULLSINKER_CLASS_ID_STRING "{CF1663CF-839C-4D7F-8C11-E94FBFDD5949}"
#define TARN_NULLSINKER_CLASS_NAME L"Nullsinker"
#define TARN_NULLSINKER_FILTER_NAME L"TARN_Nullsinker"

#endif /* TARN_FILTERS_H */
