#include "recorder/encoder_dmo_registry.h"

#include <string>
#include <vector>

#include "platform/base/trace.h"
#include "platform/files/file.h"
#include "platform/media/media_types.h"
#include "platform/registry/registry.h"

namespace {

// Pairs of major type and subtype as the DMO registry stores them.
std::vector<os::BYTE> TypePairs(std::initializer_list<os::GUID> subtypes)
{
    std::vector<os::BYTE> bytes;
    for (const os::GUID& subtype : subtypes) {
        const auto* major = reinterpret_cast<const os::BYTE*>(&os::MEDIATYPE_Video);
        const auto* sub = reinterpret_cast<const os::BYTE*>(&subtype);
        bytes.insert(bytes.end(), major, major + sizeof(os::GUID));
        bytes.insert(bytes.end(), sub, sub + sizeof(os::GUID));
    }
    return bytes;
}

bool ProgramFolder(std::string* folder)
{
    std::string module;
    const os::DWORD length = os::GetModuleFileNameW(nullptr, &module, os::MAX_PATH);
    const std::string::size_type cut = module.rfind('\\');
    if (length == 0 || length >= static_cast<os::DWORD>(os::MAX_PATH) || cut == std::string::npos) return false;
    *folder = module.substr(0, cut);
    return true;
}

// Creates the key and runs `write` on it; the key is closed again either way.
template <class Write>
bool WithKey(const char* path, Write write)
{
    os::HKEY key = nullptr;
    os::DWORD disposition = 0;
    os::LONG rc = os::RegCreateKeyExW(os::HKEY_CLASSES_ROOT, path, 0, nullptr, os::REG_OPTION_NON_VOLATILE,
                                      os::KEY_ALL_ACCESS, nullptr, &key, &disposition);
    if (rc == os::ERROR_SUCCESS) {
        rc = write(key);
        os::RegCloseKey(key);
    }
    if (rc != os::ERROR_SUCCESS) {
        os::Trace("RegisterEncoderDmo: %s not written, error %d", path, static_cast<int>(rc));
        return false;
    }
    return true;
}

}  // namespace

int RegisterEncoderDmo()
{
    std::string folder;
    if (!ProgramFolder(&folder)) {
        os::Trace("RegisterEncoderDmo: the program's folder is unknown");
        return 0;
    }
    const std::string server = folder + "\\RudIvozozIVA.dll";
    const bool ok =
        WithKey(kDmoClassKey,
                [](os::HKEY key) {
                    os::LONG rc = os::RegSetString(key, nullptr, "MP4 Encoder DMO");
                    return rc != os::ERROR_SUCCESS ? rc : os::RegSetDword(key, "MERIT", 0x200000);
                }) &&
        WithKey(kDmoServerKey,
                [&server](os::HKEY key) {
                    os::LONG rc = os::RegSetString(key, nullptr, server);
                    return rc != os::ERROR_SUCCESS ? rc : os::RegSetString(key, "ThreadingModel", "Both");
                }) &&
        WithKey(kDmoCategoryKey, [](os::HKEY) { return os::ERROR_SUCCESS; }) &&
        WithKey(kDmoObjectKey, [](os::HKEY key) {
            os::LONG rc = os::RegSetString(key, nullptr, "Vizuru MPEG-4 SP Encoder-DMO");
            if (rc == os::ERROR_SUCCESS) {
                rc = os::RegSetBinary(
                    key, "InputTypes",
                    TypePairs({os::MEDIASUBTYPE_YV12, os::MEDIASUBTYPE_YVYU, os::MEDIASUBTYPE_UYVY}));
            }
            return rc != os::ERROR_SUCCESS ? rc : os::RegSetBinary(key, "OutputTypes", TypePairs({os::MEDIASUBTYPE_M4S2}));
        });
    return ok ? 1 : 0;
}

int UnregisterEncoderDmo()
{
    int result = 1;
    for (const char* path : {kDmoServerKey, kDmoClassKey, kDmoCategoryKey, kDmoObjectKey}) {
        const os::LONG rc = os::RegDeleteKeyW(os::HKEY_CLASSES_ROOT, path);
        if (rc != os::ERROR_SUCCESS && rc != os::ERROR_FILE_NOT_FOUND) {
            os::Trace("UnregisterEncoderDmo: %s not deleted, error %d", path, static_cast<int>(rc));
            result = 0;
        }
    }
    return result;
}
