#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace khgl::fuzz {

// The fuzzer's bytes as text. A first byte of 0x01 reads the rest as UTF-16 (so lone
// surrogates and any code unit can appear); anything else reads as UTF-8, as typed text does.
inline QString textFrom(const std::uint8_t* data, std::size_t size)
{
    if (size > 0 && data[0] == 0x01) {
        QString text;
        for (std::size_t i = 1; i + 1 < size; i += 2) {
            text += QChar(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
        }
        return text;
    }
    return QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// Stops the run with the failed invariant and the text that broke it.
[[noreturn]] inline void fail(const char* invariant, const QString& text)
{
    std::fprintf(stderr, "invariant broken: %s\ninput: %s\n", invariant, text.toUtf8().constData());
    std::abort();
}

inline void check(bool holds, const char* invariant, const QString& text)
{
    if (!holds) {
        fail(invariant, text);
    }
}

} // namespace khgl::fuzz
