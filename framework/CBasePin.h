// Base of every pin: IPin and IQualityControl over the lock it shares with its filter, the connection (the
// counted peer pin and the agreed media type), and connection negotiation. Derived pins shape it through the
// virtual operations below; CheckType has no base version.
//
// Lifetime: a pin has no count of its own; its AddRef/Release go to the owning filter's IBaseFilter, so every
// reference to a pin keeps the filter alive. The object that created the pin (the filter's outer object)
// deletes it. `ownerFilter` and `qualitySink` are not counted (the filter owns the pin; the sink is the
// graph's).
// Threads and locks: Connect, ReceiveConnection, Disconnect, ConnectionMediaType and SetSink hold
// `filterLock` (the filter's lock, not owned) for their whole run; Connect keeps holding it while calling the
// other pin. ConnectedTo, QueryPinInfo, QueryDirection, QueryId, QueryAccept, EnumMediaTypes, NewSegment and
// Notify take no lock. `typeLock` guards the contents of `connectionType`, which a type check on any thread
// (QueryAccept takes no lock) may replace while another thread reads it; it is a leaf, never held across a
// call out of the pin (its place in the lock order: the module's lock table, in its outer object's header).
#pragma once

#include <windows.h>
#include <strmif.h>

#include "CForwardingUnknown.h"
#include "CLockGuard.h"
#include "COwnedMediaType.h"
#include "CRecursiveLock.h"

class CBaseFilter;

class CBasePin : public CForwardingUnknown<CUnknown, IPin, IQualityControl> {
public:
    // `hr` is never written by the base. A name that cannot be copied leaves the pin without a name.
    CBasePin(const wchar_t* objectName, CBaseFilter* filter, CRecursiveLock* lock, HRESULT* hr,
             const wchar_t* name, PIN_DIRECTION direction);
    ~CBasePin() override;

    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
    ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;

    virtual LONG TypeListVersion();
    virtual HRESULT Activate();
    virtual HRESULT Deactivate();
    virtual HRESULT StartRunning(REFERENCE_TIME start);
    // S_OK: acceptable; anything else: not.
    virtual HRESULT CheckType(const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT SetConnectionType(const AM_MEDIA_TYPE* type);
    virtual HRESULT CheckPeer(IPin* peer);
    virtual HRESULT ReleaseConnection();
    virtual HRESULT FinishConnection(IPin* peer);
    // The pin's own type list; S_OK when there is a type at `index`. The base offers none (E_UNEXPECTED).
    virtual HRESULT GetOfferedType(int index, COwnedMediaType* type);
    // The type check of a connection that `connector` proposes through ReceiveConnection, after the peer
    // check; S_OK: acceptable. The base asks CheckType alone; a pin that weighs the proposal against what the
    // connector also offers looks at `connector` here (under filterLock, on the connecting thread).
    virtual HRESULT CheckProposal(IPin* connector, const AM_MEDIA_TYPE* type);

    // IPin
    HRESULT STDMETHODCALLTYPE Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE Disconnect() override;
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override;
    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override;
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* dir) override;
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override;
    HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** e) override;
    HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin** pins, ULONG* count) override;
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
    // The streaming half belongs to the input pins (CBaseInputPin, CRenderedInputPin). A pin that is not an
    // input pin is never sent stream data: E_UNEXPECTED.
    HRESULT STDMETHODCALLTYPE EndOfStream() override;
    HRESULT STDMETHODCALLTYPE BeginFlush() override;
    HRESULT STDMETHODCALLTYPE EndFlush() override;

    // IQualityControl
    HRESULT STDMETHODCALLTYPE Notify(IBaseFilter* sender, Quality q) override;
    HRESULT STDMETHODCALLTYPE SetSink(IQualityControl* sink) override;

    // What the filter and the enumerators read of a pin.
    bool IsConnected() const { return connectedPin != nullptr; }
    const wchar_t* Name() const { return pinName; }
    IPin* GetPinInterface() { return static_cast<IPin*>(this); }
    CBaseFilter* GetOwnerFilter() const { return ownerFilter; }

protected:
    HRESULT NegotiateType(IPin* receivePin, const AM_MEDIA_TYPE* type);
    HRESULT TryTypeList(IPin* receivePin, const AM_MEDIA_TYPE* type, IEnumMediaTypes* types);
    HRESULT TryConnection(IPin* receivePin, const AM_MEDIA_TYPE* type);
    // Lets go of the peer pin (if any) and leaves the pin unconnected.
    void DropPeer();

    // Replaces the connection type with a deep copy of `type`, copied first and swapped in under typeLock:
    // E_OUTOFMEMORY leaves the connection type as it was (never a type without its format block).
    HRESULT StoreConnectionType(const AM_MEDIA_TYPE* type);
    // Runs under typeLock each time the connection type has changed, with the new type: what a derived pin
    // keeps derived from it is updated here, so a reader under typeLock never finds the two disagreeing.
    // Must not call out of the pin. The base keeps nothing.
    virtual void ConnectionTypeChanged(const AM_MEDIA_TYPE& type);
    // Runs `reader(const AM_MEDIA_TYPE&)` on the connection type under typeLock. The reader must not call
    // out of the pin.
    template <class Reader>
    void ReadConnectionType(Reader reader)
    {
        CLockGuard guard(&typeLock);
        reader(static_cast<const AM_MEDIA_TYPE&>(connectionType));
    }

    wchar_t* pinName;  // owned, heap; null when the name could not be copied
    IPin* connectedPin;  // counted
    const PIN_DIRECTION direction;
    CRecursiveLock* const filterLock;  // not owned: the filter's lock
    bool runtimeError;
    bool canReconnectWhenActive;
    bool tryOwnTypesFirst;
    CBaseFilter* const ownerFilter;  // not counted: the filter owns the pin
    IQualityControl* qualitySink;    // not counted
    LONG typeVersion;
    COwnedMediaType connectionType;  // contents guarded by typeLock
    REFERENCE_TIME segmentStart;
    REFERENCE_TIME segmentStop;
    double segmentRate;

private:
    CRecursiveLock typeLock;
};
