#pragma once

#include <QtGlobal>
#include <functional>

namespace khgl::test {

// Exit codes of a child whose work threw instead of returning one.
inline constexpr int kChildThrew = 4;
inline constexpr int kChildThrewStoreError = 5;

// Runs work in a child process whose files cannot grow past limit bytes (a write beyond it
// fails with EFBIG); returns work's result as the child's exit code, or 100 plus the signal
// that ended the child.
int runWithFileSizeLimit(qint64 limit, const std::function<int()>& work);

} // namespace khgl::test
