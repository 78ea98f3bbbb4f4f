// The program's text rules as a loadable SQLite extension, so that other SQLite programs (the
// sqlite3 shell, a database browser) can compare, search and check the text columns of
// khgl.dll and the indexes on them:
//   sqlite3 -cmd '.load /usr/lib/x86_64-linux-gnu/khgl/khgl_text' khgl.dll
#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT1

#include "data_store/sql_dialect.h"

// SQLite finds this entry point by the file name khgl_text.
extern "C" int sqlite3_khgltext_init(sqlite3* db, char** /*error*/, const sqlite3_api_routines* api)
{
    SQLITE_EXTENSION_INIT2(api);
    khgl::registerDialect(db);
    return SQLITE_OK;
}
