// A file-system fault injector loaded into a real process with LD_PRELOAD. It counts the
// operations that change files under one directory and makes the Nth one fail (ENOSPC, EIO) or
// kills the process just before it (a crash point). See docs/fault-injection.md.
//
// Only POSIX entry points reached through the dynamic linker are seen: glibc's FILE functions
// write through internal calls, hence fwrite is caught itself. Every counted operation is
// numbered in the order the process reaches it, across threads.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

enum class Mode { Count, Kill, NoSpace, InputOutput };

// What an operation does to the disk: only growing ones fail on a full disk.
enum class Effect { Grows, Changes };

struct Settings {
    bool active = false;
    char directory[PATH_MAX] = {};
    std::size_t directoryLength = 0;
    long at = 0;
    Mode mode = Mode::Count;
    char countFile[PATH_MAX] = {};
    int trace = -1;
};

Settings settings;
std::atomic<long> operations{0};
thread_local bool inside = false; // the injector's own calls are not counted

template <typename Function> Function next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

#define REAL(name) static const auto real = next<decltype(&::name)>(#name)

bool under(const char* path) {
    return std::strncmp(path, settings.directory, settings.directoryLength) == 0 &&
           (path[settings.directoryLength] == '/' || path[settings.directoryLength] == '\0');
}

// The absolute form of `path` seen from `directory` (a descriptor or AT_FDCWD), not resolved
// further: the profile is named by the tests without links.
bool absolute(int directory, const char* path, char* out) {
    if (path == nullptr) {
        return false;
    }
    if (path[0] == '/') {
        std::snprintf(out, PATH_MAX, "%s", path);
        return true;
    }
    char base[PATH_MAX];
    if (directory == AT_FDCWD) {
        if (getcwd(base, sizeof base) == nullptr) {
            return false;
        }
    } else {
        char link[64];
        std::snprintf(link, sizeof link, "/proc/self/fd/%d", directory);
        const ssize_t length = readlink(link, base, sizeof base - 1);
        if (length <= 0) {
            return false;
        }
        base[length] = '\0';
    }
    // Too long a name is not one of the profile's.
    const int length = std::snprintf(out, PATH_MAX, "%.*s/%s", PATH_MAX / 2, base, path);
    return length > 0 && length < PATH_MAX;
}

bool pathUnder(int directory, const char* path) {
    char full[PATH_MAX];
    return absolute(directory, path, full) && under(full);
}

// `target` (PATH_MAX) receives the file's name.
bool descriptorUnder(int descriptor, char* target) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", descriptor);
    const ssize_t length = readlink(link, target, PATH_MAX - 1);
    if (length <= 0) {
        return false;
    }
    target[length] = '\0';
    return under(target);
}

// Whether writing `bytes` at `offset` (-1: the descriptor's position) makes the file longer.
bool extends(int descriptor, long long offset, std::size_t bytes) {
    struct stat status {};
    if (fstat(descriptor, &status) != 0) {
        return true;
    }
    if (offset < 0) {
        const int flags = fcntl(descriptor, F_GETFL);
        if (flags >= 0 && (flags & O_APPEND) != 0) {
            return bytes > 0;
        }
        offset = lseek(descriptor, 0, SEEK_CUR);
        if (offset < 0) {
            return false; // a pipe or socket
        }
    }
    return offset + static_cast<long long>(bytes) > status.st_size;
}

void traceLine(long number, const char* operation, const char* what) {
    if (settings.trace < 0) {
        return;
    }
    char line[PATH_MAX + 64];
    const int length = std::snprintf(line, sizeof line, "%ld %s %s\n", number, operation, what);
    static const auto realWrite = next<ssize_t (*)(int, const void*, size_t)>("write");
    if (length > 0) {
        realWrite(settings.trace, line,
                  static_cast<std::size_t>(length) < sizeof line ? static_cast<std::size_t>(length)
                                                                 : sizeof line - 1);
    }
}

// Numbers one operation on the watched directory; true when it must fail, with errno set.
// `grows` is asked only on a full disk.
template <typename Grows> bool fault(const char* operation, const char* what, Grows grows) {
    const long number = ++operations;
    traceLine(number, operation, what);
    if (settings.at <= 0 || number < settings.at) {
        return false;
    }
    switch (settings.mode) {
    case Mode::Kill:
        if (number == settings.at) {
            raise(SIGKILL);
        }
        return false;
    case Mode::InputOutput:
        if (number == settings.at) {
            errno = EIO;
            return true;
        }
        return false;
    case Mode::NoSpace:
        // Full from then on, until the test frees it; freeing and overwriting still work.
        if (grows()) {
            errno = ENOSPC;
            return true;
        }
        return false;
    case Mode::Count:
        return false;
    }
    return false;
}

// Marks the injector's own calls, and gives back the caller's errno unless the operation is
// made to fail: a call that succeeds must not look as if it had set it.
struct Guard {
    bool entered;
    int error = errno;
    Guard() : entered(!inside) { inside = true; }
    ~Guard() {
        if (entered) {
            inside = false;
        }
    }
    bool watching() const { return entered && settings.active; }
    bool passes() const {
        errno = error;
        return false;
    }
};

bool writeFaults(const char* operation, int descriptor, long long offset, std::size_t bytes) {
    Guard guard;
    char name[PATH_MAX];
    if (!guard.watching() || !descriptorUnder(descriptor, name)) {
        return guard.passes();
    }
    return fault(operation, name, [&] { return extends(descriptor, offset, bytes); }) || guard.passes();
}

bool descriptorFaults(const char* operation, int descriptor, Effect effect) {
    Guard guard;
    char name[PATH_MAX];
    if (!guard.watching() || !descriptorUnder(descriptor, name)) {
        return guard.passes();
    }
    return fault(operation, name, [&] { return effect == Effect::Grows; }) || guard.passes();
}

bool pathFaults(const char* operation, int directory, const char* path, Effect effect) {
    Guard guard;
    if (!guard.watching() || !pathUnder(directory, path)) {
        return guard.passes();
    }
    return fault(operation, path, [&] { return effect == Effect::Grows; }) || guard.passes();
}

bool openFaults(const char* operation, int directory, const char* path, int flags) {
    if ((flags & (O_CREAT | O_WRONLY | O_RDWR | O_TRUNC)) == 0) {
        return false;
    }
    Guard guard;
    if (!guard.watching() || !pathUnder(directory, path)) {
        return guard.passes();
    }
    return fault(operation, path,
                 [&] {
                     struct stat status {};
                     return (flags & O_CREAT) != 0 && fstatat(directory, path, &status, 0) != 0;
                 }) ||
           guard.passes();
}

std::size_t total(const struct iovec* vector, int count) {
    std::size_t bytes = 0;
    for (int i = 0; i < count; ++i) {
        bytes += vector[i].iov_len;
    }
    return bytes;
}

mode_t modeArgument(int flags, va_list arguments) {
    return (flags & (O_CREAT | O_TMPFILE)) != 0 ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
}

__attribute__((constructor)) void start() {
    const char* directory = std::getenv("ORVANEH_FAULTFS_DIR");
    if (directory == nullptr || *directory == '\0') {
        return;
    }
    inside = true;
    if (realpath(directory, settings.directory) == nullptr) {
        std::snprintf(settings.directory, sizeof settings.directory, "%s", directory);
    }
    settings.directoryLength = std::strlen(settings.directory);
    if (const char* at = std::getenv("ORVANEH_FAULTFS_AT")) {
        settings.at = std::atol(at);
    }
    if (const char* mode = std::getenv("ORVANEH_FAULTFS_MODE")) {
        settings.mode = std::strcmp(mode, "kill") == 0     ? Mode::Kill
                        : std::strcmp(mode, "enospc") == 0 ? Mode::NoSpace
                        : std::strcmp(mode, "eio") == 0    ? Mode::InputOutput
                                                           : Mode::Count;
    }
    if (const char* count = std::getenv("ORVANEH_FAULTFS_COUNT_FILE")) {
        std::snprintf(settings.countFile, sizeof settings.countFile, "%s", count);
    }
    if (const char* trace = std::getenv("ORVANEH_FAULTFS_TRACE_FILE")) {
        settings.trace = open(trace, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    }
    // The children the program starts (none expected) do not inherit the faults.
    unsetenv("LD_PRELOAD");
    settings.active = true;
    inside = false;
}

__attribute__((destructor)) void stop() {
    if (!settings.active || settings.countFile[0] == '\0') {
        return;
    }
    inside = true;
    FILE* file = std::fopen(settings.countFile, "w");
    if (file != nullptr) {
        std::fprintf(file, "%ld\n", operations.load());
        std::fclose(file);
    }
}

} // namespace

extern "C" {

#define OPEN_BODY(name, directory, path)                                                                     \
    va_list arguments;                                                                                       \
    va_start(arguments, flags);                                                                              \
    const mode_t mode = modeArgument(flags, arguments);                                                      \
    va_end(arguments);                                                                                       \
    if (openFaults(#name, directory, path, flags)) {                                                         \
        return -1;                                                                                           \
    }

int open(const char* path, int flags, ...) {
    OPEN_BODY(open, AT_FDCWD, path)
    REAL(open);
    return real(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    OPEN_BODY(open64, AT_FDCWD, path)
    REAL(open64);
    return real(path, flags, mode);
}

int openat(int directory, const char* path, int flags, ...) {
    OPEN_BODY(openat, directory, path)
    REAL(openat);
    return real(directory, path, flags, mode);
}

int openat64(int directory, const char* path, int flags, ...) {
    OPEN_BODY(openat64, directory, path)
    REAL(openat64);
    return real(directory, path, flags, mode);
}

int creat(const char* path, mode_t mode) {
    if (openFaults("creat", AT_FDCWD, path, O_CREAT | O_WRONLY | O_TRUNC)) {
        return -1;
    }
    REAL(creat);
    return real(path, mode);
}

int mkostemp(char* pattern, int flags) {
    REAL(mkostemp);
    const int descriptor = real(pattern, flags);
    // Named only once made: counted afterwards, and a refused one leaves nothing.
    if (descriptor >= 0 && pathFaults("mkostemp", AT_FDCWD, pattern, Effect::Grows)) {
        const int error = errno;
        static const auto realUnlink = next<decltype(&::unlink)>("unlink");
        realUnlink(pattern);
        close(descriptor);
        errno = error;
        return -1;
    }
    return descriptor;
}

int mkstemp(char* pattern) {
    return mkostemp(pattern, 0);
}

ssize_t write(int descriptor, const void* data, size_t bytes) {
    if (writeFaults("write", descriptor, -1, bytes)) {
        return -1;
    }
    REAL(write);
    return real(descriptor, data, bytes);
}

ssize_t pwrite(int descriptor, const void* data, size_t bytes, off_t offset) {
    if (writeFaults("pwrite", descriptor, offset, bytes)) {
        return -1;
    }
    REAL(pwrite);
    return real(descriptor, data, bytes, offset);
}

ssize_t pwrite64(int descriptor, const void* data, size_t bytes, off64_t offset) {
    if (writeFaults("pwrite64", descriptor, offset, bytes)) {
        return -1;
    }
    REAL(pwrite64);
    return real(descriptor, data, bytes, offset);
}

ssize_t writev(int descriptor, const struct iovec* vector, int count) {
    if (writeFaults("writev", descriptor, -1, total(vector, count))) {
        return -1;
    }
    REAL(writev);
    return real(descriptor, vector, count);
}

ssize_t pwritev(int descriptor, const struct iovec* vector, int count, off_t offset) {
    if (writeFaults("pwritev", descriptor, offset, total(vector, count))) {
        return -1;
    }
    REAL(pwritev);
    return real(descriptor, vector, count, offset);
}

ssize_t pwritev64(int descriptor, const struct iovec* vector, int count, off64_t offset) {
    if (writeFaults("pwritev64", descriptor, offset, total(vector, count))) {
        return -1;
    }
    REAL(pwritev64);
    return real(descriptor, vector, count, offset);
}

size_t fwrite(const void* data, size_t size, size_t count, FILE* file) {
    const int descriptor = fileno(file);
    if (descriptor >= 0 && writeFaults("fwrite", descriptor, -1, size * count)) {
        return 0; // the stream's error flag is not set: callers check the count
    }
    REAL(fwrite);
    return real(data, size, count, file);
}

ssize_t sendfile(int output, int input, off_t* offset, size_t bytes) {
    if (writeFaults("sendfile", output, -1, bytes)) {
        return -1;
    }
    REAL(sendfile);
    return real(output, input, offset, bytes);
}

ssize_t sendfile64(int output, int input, off64_t* offset, size_t bytes) {
    if (writeFaults("sendfile64", output, -1, bytes)) {
        return -1;
    }
    REAL(sendfile64);
    return real(output, input, offset, bytes);
}

ssize_t copy_file_range(int input, off64_t* inputOffset, int output, off64_t* outputOffset, size_t bytes,
                        unsigned int flags) {
    if (writeFaults("copy_file_range", output, outputOffset ? *outputOffset : -1, bytes)) {
        return -1;
    }
    REAL(copy_file_range);
    return real(input, inputOffset, output, outputOffset, bytes, flags);
}

int ftruncate(int descriptor, off_t length) {
    if (writeFaults("ftruncate", descriptor, length, 0)) {
        return -1;
    }
    REAL(ftruncate);
    return real(descriptor, length);
}

int ftruncate64(int descriptor, off64_t length) {
    if (writeFaults("ftruncate64", descriptor, length, 0)) {
        return -1;
    }
    REAL(ftruncate64);
    return real(descriptor, length);
}

int fallocate(int descriptor, int mode, off_t offset, off_t length) {
    if (writeFaults("fallocate", descriptor, offset, static_cast<std::size_t>(length))) {
        return -1;
    }
    REAL(fallocate);
    return real(descriptor, mode, offset, length);
}

int posix_fallocate(int descriptor, off_t offset, off_t length) {
    if (writeFaults("posix_fallocate", descriptor, offset, static_cast<std::size_t>(length))) {
        return errno;
    }
    REAL(posix_fallocate);
    return real(descriptor, offset, length);
}

int fsync(int descriptor) {
    if (descriptorFaults("fsync", descriptor, Effect::Changes)) {
        return -1;
    }
    REAL(fsync);
    return real(descriptor);
}

int fdatasync(int descriptor) {
    if (descriptorFaults("fdatasync", descriptor, Effect::Changes)) {
        return -1;
    }
    REAL(fdatasync);
    return real(descriptor);
}

int rename(const char* from, const char* to) {
    if (pathFaults("rename", AT_FDCWD, to, Effect::Changes)) {
        return -1;
    }
    REAL(rename);
    return real(from, to);
}

int renameat(int fromDirectory, const char* from, int toDirectory, const char* to) {
    if (pathFaults("renameat", toDirectory, to, Effect::Changes)) {
        return -1;
    }
    REAL(renameat);
    return real(fromDirectory, from, toDirectory, to);
}

int renameat2(int fromDirectory, const char* from, int toDirectory, const char* to, unsigned int flags) {
    if (pathFaults("renameat2", toDirectory, to, Effect::Changes)) {
        return -1;
    }
    REAL(renameat2);
    return real(fromDirectory, from, toDirectory, to, flags);
}

int unlink(const char* path) {
    if (pathFaults("unlink", AT_FDCWD, path, Effect::Changes)) {
        return -1;
    }
    REAL(unlink);
    return real(path);
}

int unlinkat(int directory, const char* path, int flags) {
    if (pathFaults("unlinkat", directory, path, Effect::Changes)) {
        return -1;
    }
    REAL(unlinkat);
    return real(directory, path, flags);
}

int remove(const char* path) {
    if (pathFaults("remove", AT_FDCWD, path, Effect::Changes)) {
        return -1;
    }
    REAL(remove);
    return real(path);
}

int mkdir(const char* path, mode_t mode) {
    if (pathFaults("mkdir", AT_FDCWD, path, Effect::Grows)) {
        return -1;
    }
    REAL(mkdir);
    return real(path, mode);
}

int mkdirat(int directory, const char* path, mode_t mode) {
    if (pathFaults("mkdirat", directory, path, Effect::Grows)) {
        return -1;
    }
    REAL(mkdirat);
    return real(directory, path, mode);
}

int link(const char* from, const char* to) {
    if (pathFaults("link", AT_FDCWD, to, Effect::Grows)) {
        return -1;
    }
    REAL(link);
    return real(from, to);
}

int linkat(int fromDirectory, const char* from, int toDirectory, const char* to, int flags) {
    if (pathFaults("linkat", toDirectory, to, Effect::Grows)) {
        return -1;
    }
    REAL(linkat);
    return real(fromDirectory, from, toDirectory, to, flags);
}

} // extern "C"
