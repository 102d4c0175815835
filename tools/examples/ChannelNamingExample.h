/* Naming a vidtap's channel from C (ChannelNamingExample.c); vidtapdemo names its channel through it. */
#ifndef CHANNEL_NAMING_EXAMPLE_H
#define CHANNEL_NAMING_EXAMPLE_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Names the channel of `vidtap` (any interface of a vidtap filter, before it connects): what SetChannelName
 * returns, or the failure of QueryInterface for an object that is no vidtap. */
HRESULT name_vidtap_channel(IUnknown *vidtap, const wchar_t *name);

#ifdef __cplusplus
}
#endif

#endif /* CHANNEL_NAMING_EXAMPLE_H */
