#include "elog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

#include "AppLog.h"

namespace {

const char* const kLevelPrefix[] = {"A/", "E/", "W/", "I/", "D/", "V/"};
const char kNewline[] = "\n";
constexpr std::size_t kTagPadding = 8;
const char kDefaultFilePath[] = "/tmp/log_file.log";

struct TagLevelSlot {
    char tag[ELOG_FILTER_TAG_MAX_LEN + 1];
    int level;
    bool inUse;
};

struct FileBackend {
    char path[512];
    std::FILE* fp = nullptr;
    bool initOk = false;
    std::mutex lock;
};

struct ElogState {
    bool initOk = false;
    bool outputEnabled = false;
    unsigned fmt[ELOG_LVL_VERBOSE + 1] = {};
    int filterLevel = ELOG_LVL_VERBOSE;
    char filterKeyword[ELOG_FILTER_KW_MAX_LEN + 1] = {};
    TagLevelSlot tagSlots[ELOG_FILTER_TAG_LVL_MAX_NUM] = {};
    // Recursive: a failed argument check while a line is being emitted logs through elog_output again.
    std::recursive_mutex outputLock;
    char lineBuf[ELOG_LINE_BUF_SIZE];
    elog_assert_hook assertHook = nullptr;
    FileBackend file;
};

ElogState& state() {
    static ElogState s;
    return s;
}

void assertFailed(const char* expr, const char* func, long line) {
    ElogState& s = state();
    if (s.assertHook) {
        s.assertHook(expr, func, line);
        return;
    }
    elog_a("elog", "(%s) has assert failed at %s:%ld.", expr, func, line);
    std::abort();
}

// The text names the failed check the way the log has always written it.
#define ELOG_ASSERT(expr, text, ret)                \
    do {                                            \
        if (!(expr)) {                              \
            assertFailed(text, __func__, __LINE__); \
            ret;                                    \
        }                                           \
    } while (0)

bool fmtEnabled(int level, unsigned bits) {
    ELOG_ASSERT(level <= ELOG_LVL_VERBOSE, "level <= ELOG_LVL_VERBOSE", return false);
    return (state().fmt[level] & bits) != 0;
}

// Copies src into dst at offset cur, never past the line buffer; returns the bytes copied.
std::size_t elog_strcpy(std::size_t cur, char* dst, const char* src) {
    ELOG_ASSERT(dst, "dst", return 0);
    ELOG_ASSERT(src, "src", return 0);
    std::size_t n = 0;
    while (src[n] != '\0' && cur + n < ELOG_LINE_BUF_SIZE) {
        dst[n] = src[n];
        ++n;
    }
    return n;
}

void writeBom(std::FILE* fp) {
    std::fseek(fp, 0, SEEK_END);
    if (std::ftell(fp) == 0) {
        static const unsigned char bom[] = {0xEF, 0xBB, 0xBF};
        std::fwrite(bom, 1, sizeof bom, fp);
        std::fflush(fp);
    }
}

// The log tells what the operator did and where: its user's alone (0600), for a new file and for
// the fresh file after a rotation alike (fopen would leave the mode to the umask).
std::FILE* openLogFile(const char* path) {
    const int fd = ::open(path, O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0)
        return nullptr;
    std::FILE* fp = ::fdopen(fd, "a+");
    if (!fp) {
        ::close(fd);
        return nullptr;
    }
    writeBom(fp);
    return fp;
}

// Shifts path -> path.0 -> ... -> path.4, dropping the oldest. False when a rename failed.
bool rotateFiles(FileBackend& fb) {
    if (fb.fp) {
        std::fclose(fb.fp);
        fb.fp = nullptr;
    }
    bool ok = true;
    char src[600];
    char dst[600];
    for (int i = ELOG_FILE_MAX_ROTATE - 1; i >= 0; --i) {
        std::snprintf(dst, sizeof dst, "%s.%d", fb.path, i);
        if (i > 0) {
            std::snprintf(src, sizeof src, "%s.%d", fb.path, i - 1);
        } else {
            std::snprintf(src, sizeof src, "%s", fb.path);
        }
        if (access(dst, F_OK) == 0)
            std::remove(dst);
        if (access(src, F_OK) == 0 && std::rename(src, dst) != 0) {
            ok = false;
            break;
        }
    }
    fb.fp = openLogFile(fb.path);
    return ok;
}

void elog_file_write(const char* log, std::size_t size) {
    FileBackend& fb = state().file;
    ELOG_ASSERT(fb.initOk, "init_ok", return );
    ELOG_ASSERT(log, "log", return );
    std::lock_guard<std::mutex> guard(fb.lock);
    if (fb.fp) {
        std::fseek(fb.fp, 0, SEEK_END);
        if (std::ftell(fb.fp) > ELOG_FILE_MAX_SIZE && !rotateFiles(fb))
            return;  // the line is lost
    } else {
        fb.fp = openLogFile(fb.path);
    }
    if (!fb.fp)
        return;
    std::fwrite(log, 1, size, fb.fp);
    std::fflush(fb.fp);
}

bool fileBackendStart(const char* path) {
    FileBackend& fb = state().file;
    std::lock_guard<std::mutex> guard(fb.lock);
    if (fb.fp) {
        std::fclose(fb.fp);
        fb.fp = nullptr;
    }
    std::snprintf(fb.path, sizeof fb.path, "%s", path);
    fb.fp = openLogFile(fb.path);
    fb.initOk = true;
    return fb.fp != nullptr;
}

void emitLine(const char* line, std::size_t size) {
    std::fwrite(line, 1, size, stdout);
    std::fflush(stdout);
    elog_file_write(line, size);
}

std::size_t appendTime(std::size_t len, char* buf) {
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    struct tm tmv;
    localtime_r(&tv.tv_sec, &tmv);
    char timeText[32];
    std::snprintf(timeText, sizeof timeText, "%04u-%02u-%02u %02u:%02u:%02u.%03u", unsigned(tmv.tm_year + 1900),
                  unsigned(tmv.tm_mon + 1), unsigned(tmv.tm_mday), unsigned(tmv.tm_hour), unsigned(tmv.tm_min),
                  unsigned(tmv.tm_sec), unsigned(tv.tv_usec / 1000));
    return elog_strcpy(len, buf + len, timeText);
}

}  // namespace

int elog_init() {
    ElogState& s = state();
    if (s.initOk)
        return 0;
    const char* path = AppLog::logFilePathUtf8();
    if (path == nullptr || path[0] == '\0')
        path = kDefaultFilePath;
    fileBackendStart(path);
    s.filterLevel = ELOG_LVL_VERBOSE;
    std::memset(s.tagSlots, 0, sizeof s.tagSlots);
    s.initOk = true;
    return 0;
}

void elog_start() {
    ElogState& s = state();
    if (s.initOk)
        s.outputEnabled = true;
}

void elog_set_fmt(int level, unsigned bits) {
    ELOG_ASSERT(level <= ELOG_LVL_VERBOSE, "level <= ELOG_LVL_VERBOSE", return );
    state().fmt[level] = bits;
}

void elog_set_filter_lvl(int level) {
    state().filterLevel = level;
}

void elog_set_filter_kw(const char* keyword) {
    ElogState& s = state();
    std::lock_guard<std::recursive_mutex> guard(s.outputLock);
    std::snprintf(s.filterKeyword, sizeof s.filterKeyword, "%s", keyword ? keyword : "");
}

void elog_set_filter_tag_lvl(const char* tag, int level) {
    ElogState& s = state();
    std::lock_guard<std::recursive_mutex> guard(s.outputLock);
    TagLevelSlot* freeSlot = nullptr;
    for (TagLevelSlot& slot : s.tagSlots) {
        if (slot.inUse && std::strncmp(slot.tag, tag, ELOG_FILTER_TAG_MAX_LEN) == 0) {
            slot.level = level;
            return;
        }
        if (!slot.inUse && !freeSlot)
            freeSlot = &slot;
    }
    if (freeSlot) {
        std::snprintf(freeSlot->tag, sizeof freeSlot->tag, "%s", tag);
        freeSlot->level = level;
        freeSlot->inUse = true;
    }
}

int elog_get_filter_tag_lvl(const char* tag) {
    ELOG_ASSERT(tag != nullptr, "tag != ((void *)0)", return ELOG_LVL_VERBOSE);
    for (const TagLevelSlot& slot : state().tagSlots) {
        if (slot.inUse && std::strncmp(slot.tag, tag, ELOG_FILTER_TAG_MAX_LEN) == 0)
            return slot.level;
    }
    return ELOG_LVL_VERBOSE;
}

void elog_assert_set_hook(elog_assert_hook hook) {
    state().assertHook = hook;
}

bool elog_file_reopen(const char* path) {
    return fileBackendStart(path);
}

void elog_output(int level, const char* tag, const char* /*file*/, const char* /*func*/, long /*line*/,
                 const char* format, ...) {
    ElogState& s = state();
    ELOG_ASSERT(level <= ELOG_LVL_VERBOSE, "level <= ELOG_LVL_VERBOSE", return );
    if (!s.outputEnabled || level > s.filterLevel)
        return;
    ELOG_ASSERT(tag != nullptr, "tag != ((void *)0)", return );
    if (level > elog_get_filter_tag_lvl(tag))
        return;

    std::lock_guard<std::recursive_mutex> guard(s.outputLock);
    char* buf = s.lineBuf;
    std::size_t len = 0;
    if (fmtEnabled(level, ELOG_FMT_LVL))
        len += elog_strcpy(len, buf + len, kLevelPrefix[level]);
    if (fmtEnabled(level, ELOG_FMT_TAG)) {
        len += elog_strcpy(len, buf + len, tag);
        for (std::size_t tagLen = std::strlen(tag); tagLen < kTagPadding && len < ELOG_LINE_BUF_SIZE; ++tagLen) {
            buf[len++] = ' ';
        }
        len += elog_strcpy(len, buf + len, " ");
    }
    if (fmtEnabled(level, ELOG_FMT_TIME | ELOG_FMT_P_INFO | ELOG_FMT_T_INFO)) {
        len += elog_strcpy(len, buf + len, "[");
        bool first = true;
        if (fmtEnabled(level, ELOG_FMT_TIME)) {
            len += appendTime(len, buf);
            first = false;
        }
        char info[48];
        if (fmtEnabled(level, ELOG_FMT_P_INFO)) {
            std::snprintf(info, sizeof info, "%spid:%lu", first ? "" : " ", static_cast<unsigned long>(getpid()));
            len += elog_strcpy(len, buf + len, info);
            first = false;
        }
        if (fmtEnabled(level, ELOG_FMT_T_INFO)) {
            std::snprintf(info, sizeof info, "%stid:%lu", first ? "" : " ",
                          static_cast<unsigned long>(syscall(SYS_gettid)));
            len += elog_strcpy(len, buf + len, info);
        }
        len += elog_strcpy(len, buf + len, "] ");
    }

    // The message fills what is left, keeping one byte for the newline.
    const std::size_t room = ELOG_LINE_BUF_SIZE - 1;
    if (len < room) {
        va_list args;
        va_start(args, format);
        const int written = std::vsnprintf(buf + len, room - len + 1, format, args);
        va_end(args);
        if (written > 0)
            len += std::min<std::size_t>(static_cast<std::size_t>(written), room - len);
    }
    if (len > room)
        len = room;
    if (s.filterKeyword[0] != '\0') {
        buf[len] = '\0';
        if (!std::strstr(buf, s.filterKeyword))
            return;
    }
    buf[len++] = kNewline[0];
    emitLine(buf, len);
}
