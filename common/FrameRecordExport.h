// Export marker of the frame record classes. Each filter module compiles the records with
// TARN_EXPORT_FRAME_RECORDS defined, so the listed members are exported by name from its DLL; a consumer of a
// module's DLL defines TARN_IMPORT_FRAME_RECORDS; every other build (static library, tests, tools) sees plain
// declarations.
#pragma once

#if defined(_WIN32) && defined(TARN_EXPORT_FRAME_RECORDS)
#define FRAME_RECORD_API __declspec(dllexport)
#elif defined(_WIN32) && defined(TARN_IMPORT_FRAME_RECORDS)
#define FRAME_RECORD_API __declspec(dllimport)
#else
#define FRAME_RECORD_API
#endif
