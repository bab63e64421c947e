#include "base/Error.h"

#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace vantrel {

std::string systemErrorText(int errorNumber) {
    // The generic category goes through the thread-safe strerror variant.
    return std::generic_category().message(errorNumber);
}

#ifdef _WIN32
std::string windowsErrorText(unsigned long code) {
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string result;
    if (length != 0 && text != nullptr) {
        int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                       nullptr, nullptr);
        if (size > 0) {
            result.resize(static_cast<std::size_t>(size));
            WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), result.data(), size,
                                nullptr, nullptr);
        }
    }
    if (text != nullptr) {
        LocalFree(text);
    }
    while (!result.empty() &&
           (result.back() == '\r' || result.back() == '\n' || result.back() == ' ')) {
        result.pop_back();
    }
    if (result.empty()) {
        result = "error " + std::to_string(code);
    }
    return result;
}
#endif

tErrorReport reportOf(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const tLoggedError& e) {
        return {e.what(), {}};
    } catch (const tError& e) {
        return {e.what(), e.what()};
    } catch (const std::exception& e) {
        return {"Non-VCL Exception", e.what()};
    } catch (...) {
        return {"Non-VCL Exception", "Non-VCL Exception"};
    }
}

}  // namespace vantrel
