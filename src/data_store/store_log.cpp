#include "data_store/store_log.h"

namespace khgl {
Q_LOGGING_CATEGORY(storeLog, "khgl.store")
} // namespace khgl
