#pragma once

// While one of these lives, zlib streams that are opened at zlib's default
// level (Qt's PDF writer opens one for every page) pack at the fastest level
// instead. The data stay plain deflate streams that every reader takes; they
// are somewhat larger and take a fraction of the time to make. Nested scopes
// and scopes on several threads count together.
class FastCompressionScope
{
public:
    FastCompressionScope();
    ~FastCompressionScope();
    FastCompressionScope(const FastCompressionScope&) = delete;
    FastCompressionScope& operator=(const FastCompressionScope&) = delete;
};
