#include "platform/fast_compression.h"

#include <atomic>
#include <dlfcn.h>
#include <zlib.h>

namespace {

std::atomic<int> g_scopes{0};

} // namespace

FastCompressionScope::FastCompressionScope()
{
    ++g_scopes;
}

FastCompressionScope::~FastCompressionScope()
{
    --g_scopes;
}

// Qt's PDF writer offers no compression setting, so its call that opens a
// stream is taken here on the way to zlib (the program's own definition of
// the function comes first for the dynamic linker) and handed on with the
// level the scopes ask for.
#if defined(__GLIBC__)
extern "C" int deflateInit_(z_streamp strm, int level, const char* version, int stream_size)
{
    using Init = int (*)(z_streamp, int, const char*, int);
    static const auto next = reinterpret_cast<Init>(dlsym(RTLD_NEXT, "deflateInit_"));
    if (!next)
        return Z_VERSION_ERROR; // the caller reports that it cannot compress
    if (level == Z_DEFAULT_COMPRESSION && g_scopes.load(std::memory_order_relaxed) > 0)
        level = Z_BEST_SPEED;
    return next(strm, level, version, stream_size);
}
#endif
