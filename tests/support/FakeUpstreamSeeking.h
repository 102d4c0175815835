// Test double of an upstream output pin that supports seeking: answers QueryInterface for IPin,
// IMediaSeeking and IMediaPosition (any of them can be refused), and records every seeking or position call
// with its arguments, in order, so a test can check that a pass-through delivered them unchanged. Every
// recorded call returns `result`; the time queries write `timeAnswer` or `secondsAnswer` through their
// out-pointer when it is not null. Single-threaded: record from one thread at a time.
#pragma once

#include <windows.h>
#include <control.h>
#include <strmif.h>

#include <cstring>
#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

#include "PinDouble.h"
#include "PlatformAdditions.h"

struct UpstreamCall {
    std::string method;
    std::vector<const void*> pointers = {};  // pointer arguments, in order
    std::vector<LONGLONG> integers = {};     // LONGLONG, DWORD and LONG arguments, in order
    std::vector<double> doubles = {};        // REFTIME and rate arguments, in order

    bool operator==(const UpstreamCall& other) const
    {
        // Doubles are compared bit for bit so that a NaN rate can be recognised as delivered unchanged.
        if (doubles.size() != other.doubles.size())
            return false;
        for (size_t i = 0; i < doubles.size(); ++i)
            if (memcmp(&doubles[i], &other.doubles[i], sizeof(double)) != 0)
                return false;
        return method == other.method && pointers == other.pointers && integers == other.integers;
    }
};

inline std::ostream& operator<<(std::ostream& out, const UpstreamCall& call)
{
    out << call.method << "(pointers:";
    for (const void* p : call.pointers)
        out << ' ' << p;
    out << "; integers:";
    for (LONGLONG v : call.integers)
        out << ' ' << v;
    out << "; doubles:";
    for (double d : call.doubles)
        out << ' ' << d;
    return out << ')';
}

class FakeUpstreamSeeking : public PinDouble<IMediaSeeking, IMediaPosition> {
public:
    std::vector<UpstreamCall> calls;
    HRESULT result = S_OK;
    LONGLONG timeAnswer = 0;
    REFTIME secondsAnswer = 0.0;

    // IPin: only QueryInterface is expected of the upstream pin (PinDouble fails every other call).

    // IMediaSeeking
    HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD* capabilities) override
    {
        return Record("GetCapabilities", {capabilities});
    }
    HRESULT STDMETHODCALLTYPE CheckCapabilities(DWORD* capabilities) override
    {
        return Record("CheckCapabilities", {capabilities});
    }
    HRESULT STDMETHODCALLTYPE IsFormatSupported(const GUID* format) override
    {
        return Record("IsFormatSupported", {format});
    }
    HRESULT STDMETHODCALLTYPE QueryPreferredFormat(GUID* format) override
    {
        return Record("QueryPreferredFormat", {format});
    }
    HRESULT STDMETHODCALLTYPE GetTimeFormat(GUID* format) override { return Record("GetTimeFormat", {format}); }
    HRESULT STDMETHODCALLTYPE IsUsingTimeFormat(const GUID* format) override
    {
        return Record("IsUsingTimeFormat", {format});
    }
    HRESULT STDMETHODCALLTYPE SetTimeFormat(const GUID* format) override { return Record("SetTimeFormat", {format}); }
    HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG* duration) override
    {
        return AnswerTime("GetDuration", duration);
    }
    HRESULT STDMETHODCALLTYPE GetStopPosition(LONGLONG* stop) override { return AnswerTime("GetStopPosition", stop); }
    HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG* current) override
    {
        return AnswerTime("GetCurrentPosition", current);
    }
    HRESULT STDMETHODCALLTYPE ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                                const GUID* sourceFormat) override
    {
        return Record("ConvertTimeFormat", {target, targetFormat, sourceFormat}, {source});
    }
    HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                           DWORD stopFlags) override
    {
        return Record("SetPositions", {current, stop}, {currentFlags, stopFlags});
    }
    HRESULT STDMETHODCALLTYPE GetPositions(LONGLONG* current, LONGLONG* stop) override
    {
        return Record("GetPositions", {current, stop});
    }
    HRESULT STDMETHODCALLTYPE GetAvailable(LONGLONG* earliest, LONGLONG* latest) override
    {
        return Record("GetAvailable", {earliest, latest});
    }
    HRESULT STDMETHODCALLTYPE SetRate(double rate) override { return Record("SetRate", {}, {}, {rate}); }
    HRESULT STDMETHODCALLTYPE GetRate(double* rate) override { return Record("GetRate", {rate}); }
    HRESULT STDMETHODCALLTYPE GetPreroll(LONGLONG* preroll) override { return AnswerTime("GetPreroll", preroll); }

    // IDispatch of IMediaPosition: a pass-through must never ask the upstream for it.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        UNEXPECTED_CALL();
    }

    // IMediaPosition
    HRESULT STDMETHODCALLTYPE get_Duration(REFTIME* length) override { return AnswerSeconds("get_Duration", length); }
    HRESULT STDMETHODCALLTYPE put_CurrentPosition(REFTIME time) override
    {
        return Record("put_CurrentPosition", {}, {}, {time});
    }
    HRESULT STDMETHODCALLTYPE get_CurrentPosition(REFTIME* time) override
    {
        return AnswerSeconds("get_CurrentPosition", time);
    }
    HRESULT STDMETHODCALLTYPE get_StopTime(REFTIME* time) override { return AnswerSeconds("get_StopTime", time); }
    HRESULT STDMETHODCALLTYPE put_StopTime(REFTIME time) override { return Record("put_StopTime", {}, {}, {time}); }
    HRESULT STDMETHODCALLTYPE get_PrerollTime(REFTIME* time) override
    {
        return AnswerSeconds("get_PrerollTime", time);
    }
    HRESULT STDMETHODCALLTYPE put_PrerollTime(REFTIME time) override
    {
        return Record("put_PrerollTime", {}, {}, {time});
    }
    HRESULT STDMETHODCALLTYPE put_Rate(double rate) override { return Record("put_Rate", {}, {}, {rate}); }
    HRESULT STDMETHODCALLTYPE get_Rate(double* rate) override { return Record("get_Rate", {rate}); }
    HRESULT STDMETHODCALLTYPE CanSeekForward(LONG* canSeek) override { return Record("CanSeekForward", {canSeek}); }
    HRESULT STDMETHODCALLTYPE CanSeekBackward(LONG* canSeek) override
    {
        return Record("CanSeekBackward", {canSeek});
    }

private:
    HRESULT Record(const char* method, std::initializer_list<const void*> pointers,
                   std::initializer_list<LONGLONG> integers = {}, std::initializer_list<double> doubles = {})
    {
        calls.push_back(UpstreamCall{method, pointers, integers, doubles});
        return result;
    }
    HRESULT AnswerTime(const char* method, LONGLONG* time)
    {
        if (time != nullptr)
            *time = timeAnswer;
        return Record(method, {time});
    }
    HRESULT AnswerSeconds(const char* method, REFTIME* time)
    {
        if (time != nullptr)
            *time = secondsAnswer;
        return Record(method, {time});
    }
};
