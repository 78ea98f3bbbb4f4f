#!/bin/sh
# Runs a test executable against the PostgreSQL server of KHGL_TEST_PG_URI (scripts/test.sh
# starts one); without that address the test is skipped (exit code 77).
[ -n "${KHGL_TEST_PG_URI:-}" ] || { echo "KHGL_TEST_PG_URI not set: no server to test on"; exit 77; }
KHGL_TEST_BACKEND=postgresql exec "$@"
