#pragma once

// elog: the program's leveled, tagged log facility. Lines look like
//   "I/app      [2026-12-06 16:18:51.123] message\n"
// and go to standard output and to a size-rotated UTF-8 file (byte-order mark, five rotated copies).
// Callable from any thread; one lock covers building and emitting a line, another the file.

#include <cstddef>

enum {
    ELOG_LVL_ASSERT = 0,
    ELOG_LVL_ERROR = 1,
    ELOG_LVL_WARN = 2,
    ELOG_LVL_INFO = 3,
    ELOG_LVL_DEBUG = 4,
    ELOG_LVL_VERBOSE = 5,
};

enum {
    ELOG_FMT_LVL = 0x01,
    ELOG_FMT_TAG = 0x02,
    ELOG_FMT_TIME = 0x04,
    ELOG_FMT_P_INFO = 0x08,
    ELOG_FMT_T_INFO = 0x10,
    ELOG_FMT_DIR = 0x20,
    ELOG_FMT_FUNC = 0x40,
    ELOG_FMT_LINE = 0x80,
    ELOG_FMT_ALL = 0xFF,
};

constexpr std::size_t ELOG_LINE_BUF_SIZE = 1024;
constexpr std::size_t ELOG_FILTER_TAG_MAX_LEN = 16;
constexpr std::size_t ELOG_FILTER_KW_MAX_LEN = 16;
constexpr int ELOG_FILTER_TAG_LVL_MAX_NUM = 5;
constexpr long ELOG_FILE_MAX_SIZE = 1048576;
constexpr int ELOG_FILE_MAX_ROTATE = 5;

int elog_init();
void elog_start();
void elog_set_fmt(int level, unsigned bits);
void elog_set_filter_lvl(int level);
void elog_set_filter_kw(const char* keyword);
void elog_set_filter_tag_lvl(const char* tag, int level);
int elog_get_filter_tag_lvl(const char* tag);

void elog_output(int level, const char* tag, const char* file, const char* func, long line, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 6, 7)))
#endif
    ;

// Called instead of aborting when an internal argument check fails (tests install one).
using elog_assert_hook = void (*)(const char* expr, const char* func, long line);
void elog_assert_set_hook(elog_assert_hook hook);

// Moves the file backend to another file. The program never calls it; tests use it to check
// rotation in a directory of their own.
bool elog_file_reopen(const char* path);

#define elog_a(tag, ...) elog_output(ELOG_LVL_ASSERT, tag, nullptr, nullptr, 0, __VA_ARGS__)
#define elog_e(tag, ...) elog_output(ELOG_LVL_ERROR, tag, nullptr, nullptr, 0, __VA_ARGS__)
#define elog_w(tag, ...) elog_output(ELOG_LVL_WARN, tag, nullptr, nullptr, 0, __VA_ARGS__)
#define elog_i(tag, ...) elog_output(ELOG_LVL_INFO, tag, nullptr, nullptr, 0, __VA_ARGS__)
#define elog_d(tag, ...) elog_output(ELOG_LVL_DEBUG, tag, nullptr, nullptr, 0, __VA_ARGS__)
#define elog_v(tag, ...) elog_output(ELOG_LVL_VERBOSE, tag, nullptr, nullptr, 0, __VA_ARGS__)
