/* tarn_filters.h: the class ids and names under which vidtap.dll and nullsinker.dll register their filters,
 * and vidtap's interface for naming its channel. C89; the ids and names need nothing but the compiler. The class ids come as initialisers, so that a program declares its own
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

/* ITarnChannelName: the camera channel a vidtap instance publishes into. Reached through the filter's outer
 * object like its other interfaces (QueryInterface on the IBaseFilter of a vidtap). Needs the platform's COM
 * declarations (<windows.h> or <unknwn.h>), included here.
 *
 * An instance that nobody names publishes into the default channel, "tarn_kro_shared_camera_info" with the
 * frame blocks "tarn_kro_shared_camera_memeory..." (tarn_camera_channel.h), shared by every unnamed instance
 * of the process. A named instance publishes into a channel of its own, whose blocks are
 *   <name>             the header block (the same layout as the default channel's),
 *   <name>_frame<k>    the frame block, k the digits of the default channel's naming tries (0, 01, 012, ...),
 *   <name>_sync        the sync block, and <name>_sync_wake its wake-up semaphore,
 * so a reader opens it with tarn_camera_reader_open(name, ...). Instances given the same name publish into
 * one channel; it lives while one of them does, and its blocks, handles and buffers are released with the
 * last of them (a reader's own mapping keeps what it maps readable for that reader).
 *
 * A name is at most TARN_CHANNEL_NAME_MAX_LENGTH characters: an optional prefix "Local\" or "Global\",
 * then at least one of the letters A-Z and a-z, the digits, '_', '-' and '.'. Names beginning with
 * "tarn_kro_shared_camera_" (after the prefix) belong to the default channel, and names ending in "_sync",
 * "_sync_wake" or "_frame" followed by digits to the blocks of other channels: all are refused.
 * "Local\name" and "name" are the same channel. A "Global\" channel is for a publisher running as a
 * service and read from users' sessions: creating it needs the right to create global objects, and without
 * it the pin refuses its connection with E_ACCESSDENIED. Its blocks grant the publisher's account (and the
 * system) everything, and interactive users only what a reader needs: reading the header and frame blocks,
 * reading and writing the sync block, waiting on the semaphore. Other channels have the default security.
 *
 *   SetChannelName(name)  S_OK; E_POINTER for null; E_INVALIDARG (nothing changed) for a name the rules above
 *                         refuse; VFW_E_WRONG_STATE (nothing changed) once the instance's pin has checked a
 *                         media type it can carry, since it is then bound to its channel for its whole life.
 *   GetChannelName(buffer, capacity)
 *                         the name of the instance's channel, zero-terminated: S_OK for a name that was set,
 *                         S_FALSE and "tarn_kro_shared_camera_info" for the default channel; E_POINTER for a
 *                         null buffer; HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER) (and an empty string
 *                         when capacity > 0) when it does not fit. TARN_CHANNEL_NAME_MAX_LENGTH + 1 units
 *                         always suffice.
 *
 *   static const IID channelNameId = TARN_CHANNEL_NAME_IID;
 *   ITarnChannelName *naming;
 *   if (SUCCEEDED(vidtap->lpVtbl->QueryInterface(vidtap, &channelNameId, (void **)&naming))) {
 *       naming->lpVtbl->SetChannelName(naming, L"left_camera");
 *       naming->lpVtbl->Release(naming);
 *   }
 */
#define TARN_CHANNEL_NAME_IID \
    {0x6C1E0B53, 0x8A4F, 0x4D2B, {0x9E, 0x37, 0x1F, 0x5A, 0x2C, 0x7D, 0x9B, 0x04}}
#define TARN_CHANNEL_NAME_IID_STRING "{6C1E0B53-8A4F-4D2B-9E37-1F5A2C7D9B04}"
#define TARN_CHANNEL_NAME_MAX_LENGTH 128

#ifdef _WIN32
#include <unknwn.h>

#if defined(__cplusplus) && !defined(CINTERFACE)
struct ITarnChannelName : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetChannelName(LPCWSTR name) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetChannelName(LPWSTR buffer, ULONG capacity) = 0;
};
#else
typedef struct ITarnChannelName ITarnChannelName;
typedef struct ITarnChannelNameVtbl {
    HRESULT (STDMETHODCALLTYPE *QueryInterface)(ITarnChannelName *This, REFIID riid, void **object);
    ULONG (STDMETHODCALLTYPE *AddRef)(ITarnChannelName *This);
    ULONG (STDMETHODCALLTYPE *Release)(ITarnChannelName *This);
    HRESULT (STDMETHODCALLTYPE *SetChannelName)(ITarnChannelName *This, LPCWSTR name);
    HRESULT (STDMETHODCALLTYPE *GetChannelName)(ITarnChannelName *This, LPWSTR buffer, ULONG capacity);
} ITarnChannelNameVtbl;
struct ITarnChannelName {
    const ITarnChannelNameVtbl *lpVtbl;
};
#endif

#if defined(__cplusplus) && defined(__CRT_UUID_DECL)
/* mingw-w64: __uuidof(ITarnChannelName) and IID_PPV_ARGS work with this interface too. */
__CRT_UUID_DECL(ITarnChannelName, 0x6C1E0B53, 0x8A4F, 0x4D2B, 0x9E, 0x37, 0x1F, 0x5A, 0x2C, 0x7D, 0x9B, 0x04)
#endif
#endif /* _WIN32 */

#endif /* TARN_FILTERS_H */
