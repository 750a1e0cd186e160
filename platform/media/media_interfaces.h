// The interfaces of the media framework that the capture graph uses: samples,
// pins, filters, the filter graph and its controls, the capture graph
// builder, stream control, and the camera's and microphone's property faces.
// Only the methods the recorder calls are here; their results and the order
// of what happens follow the phone's media framework.
#pragma once

#include <string>
#include <vector>

#include "platform/media/media_types.h"

namespace os {

// Ids of the platform's own interfaces and classes: distinct values, only
// ever compared inside this process.
constexpr GUID PlatformId(std::uint16_t kind, std::uint16_t n)
{
    return GUID{0x4B535441, kind, n, {0x8A, 0x11, 0x4B, 0x65, 0x73, 0x74, 0x72, 0x61}};
}

struct IReferenceClock;
struct IMediaSample;
struct IPin;
struct IBaseFilter;
struct IFilterGraph;
struct IEnumPins;
struct IEnumFilters;

enum FILTER_STATE { State_Stopped = 0, State_Paused = 1, State_Running = 2 };
enum PIN_DIRECTION { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };

struct PIN_INFO {
    IBaseFilter* pFilter = nullptr;  // with a reference
    PIN_DIRECTION dir = PINDIR_INPUT;
    char achName[128] = {};
};

struct FILTER_INFO {
    char achName[128] = {};
    IFilterGraph* pGraph = nullptr;  // with a reference
};

struct IReferenceClock : IUnknown {
    // The clock's time in 100 ns units.
    virtual HRESULT GetTime(REFERENCE_TIME* time) = 0;
};
constexpr IID IID_IReferenceClock = PlatformId(1, 1);

struct IMediaSample : IUnknown {
    virtual HRESULT GetPointer(BYTE** buffer) = 0;
    virtual long GetSize() = 0;
    virtual HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) = 0;
    virtual HRESULT SetTime(const REFERENCE_TIME* start, const REFERENCE_TIME* stop) = 0;
    virtual HRESULT IsSyncPoint() = 0;
    virtual HRESULT SetSyncPoint(BOOL sync) = 0;
    virtual long GetActualDataLength() = 0;
    virtual HRESULT SetActualDataLength(long length) = 0;
    // The sample's media type when it changed since the last one (S_FALSE: none).
    virtual HRESULT GetMediaType(AM_MEDIA_TYPE** type) = 0;
    virtual HRESULT GetMediaTime(LONGLONG* start, LONGLONG* end) = 0;
};
constexpr IID IID_IMediaSample = PlatformId(1, 2);

struct IPin : IUnknown {
    virtual HRESULT Connect(IPin* receive, const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT Disconnect() = 0;
    virtual HRESULT ConnectedTo(IPin** pin) = 0;
    virtual HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT QueryPinInfo(PIN_INFO* info) = 0;
    virtual HRESULT QueryDirection(PIN_DIRECTION* dir) = 0;
    virtual HRESULT QueryId(std::string* id) = 0;
    virtual HRESULT QueryAccept(const AM_MEDIA_TYPE* type) = 0;
    // The types the pin proposes, in order of preference (empty for input pins).
    virtual HRESULT EnumMediaTypes(std::vector<CMediaType>* types) = 0;
    virtual HRESULT EndOfStream() = 0;
    virtual HRESULT BeginFlush() = 0;
    virtual HRESULT EndFlush() = 0;
};
constexpr IID IID_IPin = PlatformId(1, 3);

struct IEnumPins : IUnknown {
    // Up to `count` pins with a reference each; S_FALSE when fewer were left.
    virtual HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) = 0;
    virtual HRESULT Reset() = 0;
};
constexpr IID IID_IEnumPins = PlatformId(1, 4);

struct IMemInputPin : IUnknown {
    virtual HRESULT Receive(IMediaSample* sample) = 0;
    // S_OK when Receive may block, S_FALSE when it never does.
    virtual HRESULT ReceiveCanBlock() = 0;
};
constexpr IID IID_IMemInputPin = PlatformId(1, 5);

struct IMediaFilter : IUnknown {
    virtual HRESULT Stop() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Run(REFERENCE_TIME start) = 0;
    virtual HRESULT GetState(DWORD timeoutMs, FILTER_STATE* state) = 0;
    virtual HRESULT SetSyncSource(IReferenceClock* clock) = 0;
    virtual HRESULT GetSyncSource(IReferenceClock** clock) = 0;
};
constexpr IID IID_IMediaFilter = PlatformId(1, 6);

struct IBaseFilter : IMediaFilter {
    virtual HRESULT EnumPins(IEnumPins** pins) = 0;
    virtual HRESULT FindPin(const char* id, IPin** pin) = 0;
    virtual HRESULT QueryFilterInfo(FILTER_INFO* info) = 0;
    virtual HRESULT JoinFilterGraph(IFilterGraph* graph, const char* name) = 0;
};
constexpr IID IID_IBaseFilter = PlatformId(1, 7);

struct IEnumFilters : IUnknown {
    virtual HRESULT Next(ULONG count, IBaseFilter** filters, ULONG* fetched) = 0;
    virtual HRESULT Reset() = 0;
};
constexpr IID IID_IEnumFilters = PlatformId(1, 8);

struct IFilterGraph : IUnknown {
    virtual HRESULT AddFilter(IBaseFilter* filter, const char* name) = 0;
    virtual HRESULT RemoveFilter(IBaseFilter* filter) = 0;
    virtual HRESULT EnumFilters(IEnumFilters** filters) = 0;
    virtual HRESULT FindFilterByName(const char* name, IBaseFilter** filter) = 0;
    // Connects an output pin to an input pin with the given type, or the
    // first type of the output's list the input accepts.
    virtual HRESULT ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT Disconnect(IPin* pin) = 0;
    virtual HRESULT SetDefaultSyncSource() = 0;
};
constexpr IID IID_IFilterGraph = PlatformId(1, 9);

struct IGraphBuilder : IFilterGraph {
    virtual HRESULT Connect(IPin* out, IPin* in) = 0;
};
constexpr IID IID_IGraphBuilder = PlatformId(1, 10);

struct IMediaControl : IUnknown {
    virtual HRESULT Run() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT GetState(LONG timeoutMs, LONG* state) = 0;
};
constexpr IID IID_IMediaControl = PlatformId(1, 11);

// Event codes of the media events the capture graph reports.
constexpr LONG EC_COMPLETE = 0x01;
constexpr LONG EC_ERRORABORT = 0x03;
constexpr LONG EC_STREAM_CONTROL_STOPPED = 0x1A;
constexpr LONG EC_STREAM_CONTROL_STARTED = 0x1B;
constexpr LONG EC_CAP_FILE_COMPLETED = 0x101;

struct IMediaEvent : IUnknown {
    // A manual-reset event that is set while events are queued.
    virtual HRESULT GetEventHandle(LONG_PTR* event) = 0;
    // The oldest event; E_ABORT when none arrives in time.
    virtual HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeoutMs) = 0;
    virtual HRESULT FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR param2) = 0;
};
constexpr IID IID_IMediaEvent = PlatformId(1, 12);
struct IMediaEventEx : IMediaEvent {};
constexpr IID IID_IMediaEventEx = PlatformId(1, 13);

// How filters report to their graph. A pin given as a parameter travels with
// a reference, which FreeEventParams drops.
struct IMediaEventSink : IUnknown {
    virtual HRESULT Notify(LONG code, LONG_PTR param1, LONG_PTR param2) = 0;
};
constexpr IID IID_IMediaEventSink = PlatformId(1, 14);

// Pin categories and the capture graph builder.
constexpr GUID PIN_CATEGORY_CAPTURE{0xFB6C4281, 0x0353, 0x11D1, {0x90, 0x5F, 0x00, 0x00, 0xC0, 0xCC, 0x16, 0xBA}};
constexpr GUID PIN_CATEGORY_PREVIEW{0xFB6C4282, 0x0353, 0x11D1, {0x90, 0x5F, 0x00, 0x00, 0xC0, 0xCC, 0x16, 0xBA}};
constexpr GUID PIN_CATEGORY_STILL{0xFB6C428A, 0x0353, 0x11D1, {0x90, 0x5F, 0x00, 0x00, 0xC0, 0xCC, 0x16, 0xBA}};

// Platform pins name their category through this interface.
struct IPinCategory : IUnknown {
    virtual HRESULT GetCategory(GUID* category) = 0;
};
constexpr IID IID_IPinCategory = PlatformId(1, 15);

struct ICaptureGraphBuilder2 : IUnknown {
    virtual HRESULT SetFiltergraph(IGraphBuilder* graph) = 0;
    virtual HRESULT GetFiltergraph(IGraphBuilder** graph) = 0;
    // Connects `source`'s pin of that category (and major type, when given)
    // through `intermediate` (may be null) to `sink`. A preview from a source
    // without a preview pin of its own goes through a Smart Tee put in front
    // of the capture pin.
    virtual HRESULT RenderStream(const GUID* category, const GUID* type, IUnknown* source, IBaseFilter* intermediate,
                                 IBaseFilter* sink) = 0;
    // Start and stop times for the pins of `filter` in that category (and
    // type; null: every type). Null start: now; MAXLONGLONG: never. Null
    // stop: now; MAXLONGLONG: never.
    virtual HRESULT ControlStream(const GUID* category, const GUID* type, IBaseFilter* filter,
                                  const REFERENCE_TIME* start, const REFERENCE_TIME* stop, WORD startCookie,
                                  WORD stopCookie) = 0;
    virtual HRESULT FindPin(IUnknown* source, PIN_DIRECTION dir, const GUID* category, const GUID* type,
                            BOOL unconnected, int index, IPin** pin) = 0;
    virtual HRESULT FindInterface(const GUID* category, const GUID* type, IBaseFilter* filter, REFIID iid,
                                  void** out) = 0;
};
constexpr IID IID_ICaptureGraphBuilder2 = PlatformId(1, 16);

struct IAMStreamControl : IUnknown {
    virtual HRESULT StartAt(const REFERENCE_TIME* start, DWORD cookie) = 0;
    virtual HRESULT StopAt(const REFERENCE_TIME* stop, BOOL sendExtra, DWORD cookie) = 0;
};
constexpr IID IID_IAMStreamControl = PlatformId(1, 17);

// Capabilities as the stream configuration reports them; only the
// major type matters to the recorder, the media type carries the rest.
struct STREAM_CONFIG_CAPS {
    GUID guid = GUID_NULL;
    ULONG minimum = 0;
    ULONG maximum = 0;
};

struct IAMStreamConfig : IUnknown {
    virtual HRESULT SetFormat(const AM_MEDIA_TYPE* type) = 0;
    // A new record for the caller to DeleteMediaType.
    virtual HRESULT GetFormat(AM_MEDIA_TYPE** type) = 0;
    virtual HRESULT GetNumberOfCapabilities(int* count, int* size) = 0;
    virtual HRESULT GetStreamCaps(int index, AM_MEDIA_TYPE** type, STREAM_CONFIG_CAPS* caps) = 0;
};
constexpr IID IID_IAMStreamConfig = PlatformId(1, 18);

constexpr LONG VideoProcAmp_Flags_Auto = 1;
constexpr LONG VideoProcAmp_Flags_Manual = 2;
constexpr LONG CameraControl_Flags_Auto = 1;
constexpr LONG CameraControl_Flags_Manual = 2;
constexpr LONG VideoProcAmp_Brightness = 0;
constexpr LONG CameraControl_Zoom = 3;
constexpr LONG CameraControl_Flash = 7;

struct IAMVideoProcAmp : IUnknown {
    virtual HRESULT GetRange(LONG property, LONG* min, LONG* max, LONG* step, LONG* deflt, LONG* flags) = 0;
    virtual HRESULT Set(LONG property, LONG value, LONG flags) = 0;
    virtual HRESULT Get(LONG property, LONG* value, LONG* flags) = 0;
};
constexpr IID IID_IAMVideoProcAmp = PlatformId(1, 19);

struct IAMCameraControl : IUnknown {
    virtual HRESULT GetRange(LONG property, LONG* min, LONG* max, LONG* step, LONG* deflt, LONG* flags) = 0;
    virtual HRESULT Set(LONG property, LONG value, LONG flags) = 0;
    virtual HRESULT Get(LONG property, LONG* value, LONG* flags) = 0;
};
constexpr IID IID_IAMCameraControl = PlatformId(1, 20);

constexpr LONG VideoControlFlag_FlipHorizontal = 0x1;
constexpr LONG VideoControlFlag_FlipVertical = 0x2;
constexpr LONG VideoControlFlag_ExternalTriggerEnable = 0x4;
constexpr LONG VideoControlFlag_Trigger = 0x8;

struct IAMVideoControl : IUnknown {
    virtual HRESULT GetCaps(IPin* pin, LONG* flags) = 0;
    // With VideoControlFlag_Trigger on the still pin: take one still now.
    virtual HRESULT SetMode(IPin* pin, LONG mode) = 0;
    virtual HRESULT GetMode(IPin* pin, LONG* mode) = 0;
};
constexpr IID IID_IAMVideoControl = PlatformId(1, 21);

struct IPropertyBag : IUnknown {};
struct IPersistPropertyBag : IUnknown {
    // Loads the object's properties; a null bag leaves the defaults.
    virtual HRESULT Load(IPropertyBag* bag, void* errorLog) = 0;
};
constexpr IID IID_IPersistPropertyBag = PlatformId(1, 22);

struct IFileSinkFilter : IUnknown {
    virtual HRESULT SetFileName(const char* fileName, const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT GetCurFile(std::string* fileName, AM_MEDIA_TYPE* type) = 0;
};
constexpr IID IID_IFileSinkFilter = PlatformId(1, 23);

// The platform's classes (CoCreateInstance).
constexpr CLSID CLSID_FilterGraph = PlatformId(2, 1);
constexpr CLSID CLSID_CaptureGraphBuilder = PlatformId(2, 2);
constexpr CLSID CLSID_AudioCapture = PlatformId(2, 3);
constexpr CLSID CLSID_SystemClock = PlatformId(2, 4);
constexpr CLSID CLSID_IMGSinkFilter = PlatformId(2, 5);
constexpr CLSID CLSID_ImageEncoder = PlatformId(2, 6);
constexpr CLSID CLSID_SmartTee = PlatformId(2, 7);

}  // namespace os
