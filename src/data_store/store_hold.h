#pragma once

#include <QString>

namespace khgl {

class DataStore;

// While a store is held it answers every call with a busy message and opens nothing: a backup
// or restore works on the data through connections of its own, and a timer or a repaint must
// not reach the file meanwhile. Held and released on the thread that uses the store.
void setStoreHeld(const DataStore& store, bool held);
// Lets the calling thread use the held store (an import writing on a thread of its own) while
// every other thread is still refused; releasing the store ends it.
void useHeldStore();
// Held against the calling thread.
bool isStoreHeld(const DataStore& store);
inline QString heldStoreText()
{
    return QStringLiteral("正在备份或还原数据，请稍候再试。");
}

} // namespace khgl
