// Code page 932 through iconv; glibc's "CP932" is the Windows mapping (0x5C is "\").
#include "platform/linux/startup_linux.h"

#include <cerrno>
#include <iconv.h>

namespace velmora::posix {

namespace {

std::optional<std::string> convert(const char* to, const char* from, std::string_view input)
{
    iconv_t cd = ::iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out(input.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    std::size_t used = 0;
    bool ok = true;
    while (inLeft > 0) {
        char* dst = out.data() + used;
        std::size_t outLeft = out.size() - used;
        const std::size_t r = ::iconv(cd, &in, &inLeft, &dst, &outLeft);
        used = out.size() - outLeft;
        if (r != static_cast<std::size_t>(-1))
            continue;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        ok = false; // EILSEQ or EINVAL: a character without a form, or broken input
        break;
    }
    ::iconv_close(cd);
    if (!ok)
        return std::nullopt;
    out.resize(used);
    return out;
}

} // namespace

std::optional<std::string> IconvCodec::toCp932(std::string_view utf8) { return convert("CP932", "UTF-8", utf8); }

std::optional<std::string> IconvCodec::fromCp932(std::string_view bytes) { return convert("UTF-8", "CP932", bytes); }

} // namespace velmora::posix
