// SPDX-License-Identifier: MIT
#include "data/sqlite_locks.h"

#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <mutex>
#include <set>
#include <tuple>

namespace corvan::host {

namespace {

using Fcntl = int (*)(int, int, ...);
using Close = int (*)(int);

struct FileKey {
    dev_t device;
    ino_t inode;
    bool operator<(const FileKey& other) const
    {
        return std::tie(device, inode) < std::tie(other.device, other.inode);
    }
};

// One file SQLite has locked: the description its locks live on, and SQLite's own descriptors
// of the file that have asked for a lock. The description goes when the last of them is closed,
// which is when SQLite, sharing locks between its connections, has none left on the file.
struct LockedFile {
    int description = -1;
    std::set<int> users;
};

struct Registry {
    std::mutex mutex;
    std::map<FileKey, LockedFile> files;
    std::map<int, FileKey> users;
    Fcntl fcntl = nullptr;
    Close close = nullptr;
    bool installed = false;
    QString failure;
};

Registry& registry()
{
    static Registry* const instance = new Registry; // outlives every static connection
    return *instance;
}

int ofdCommand(int cmd)
{
    switch (cmd) {
    case F_SETLK:
        return F_OFD_SETLK;
    case F_SETLKW:
        return F_OFD_SETLKW;
    case F_GETLK:
        return F_OFD_GETLK;
    default:
        return 0;
    }
}

// A description of the file of our own, opened anew rather than duplicated so that it can
// write-lock a file SQLite happened to open read-only first; a duplicate where it cannot.
int openDescription(int fd)
{
    char path[48];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    int own = ::open(path, O_RDWR | O_CLOEXEC);
    if (own < 0)
        own = ::open(path, O_RDONLY | O_CLOEXEC);
    if (own < 0)
        own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    return own;
}

int lockingFcntl(int fd, int cmd, ...)
{
    va_list args;
    va_start(args, cmd);
    void* argument = va_arg(args, void*);
    va_end(args);
    Registry& r = registry();
    const int ofd = ofdCommand(cmd);
    if (!ofd)
        return r.fcntl(fd, cmd, argument);

    struct stat status {};
    if (::fstat(fd, &status) != 0)
        return -1;
    int description = -1;
    {
        const std::lock_guard guard(r.mutex);
        LockedFile& file = r.files[FileKey{status.st_dev, status.st_ino}];
        if (file.description < 0)
            file.description = openDescription(fd);
        if (file.description < 0) {
            const int saved = errno;
            r.files.erase(FileKey{status.st_dev, status.st_ino});
            errno = saved;
            return -1;
        }
        file.users.insert(fd);
        r.users[fd] = FileKey{status.st_dev, status.st_ino};
        description = file.description;
    }
    // Outside the registry's lock: a waiting lock must not hold up other files. The description
    // stays open meanwhile, as fd is one of its users and SQLite does not close it while locking.
    auto* lock = static_cast<struct flock*>(argument);
    if (cmd != F_GETLK) {
        // A connection opened before the locking was put in place may still hold a classic lock
        // of the process on the range; it would outlive its unlock and fight the new ones.
        struct flock classic = *lock;
        classic.l_type = F_UNLCK;
        r.fcntl(fd, F_SETLK, &classic);
    }
    struct flock ofdLock = *lock;
    ofdLock.l_pid = 0; // required of open file description locks
    const int result = ::fcntl(description, ofd, &ofdLock);
    if (result == 0 && cmd == F_GETLK)
        *lock = ofdLock;
    return result;
}

int trackingClose(int fd)
{
    Registry& r = registry();
    int description = -1;
    {
        const std::lock_guard guard(r.mutex);
        if (const auto user = r.users.find(fd); user != r.users.end()) {
            if (const auto file = r.files.find(user->second); file != r.files.end()) {
                file->second.users.erase(fd);
                if (file->second.users.empty()) {
                    description = file->second.description;
                    r.files.erase(file);
                }
            }
            r.users.erase(user);
        }
    }
    const int result = r.close(fd);
    const int saved = errno;
    if (description >= 0)
        ::close(description);
    errno = saved;
    return result;
}

// Whether the kernel takes open file description locks at all.
bool kernelHasOfdLocks(QString* why)
{
    std::FILE* probe = std::tmpfile();
    if (!probe) {
        *why = QStringLiteral("no temporary file to probe locks with");
        return false;
    }
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    const bool ok = ::fcntl(fileno(probe), F_OFD_GETLK, &lock) == 0;
    if (!ok)
        *why = QStringLiteral("the kernel takes no open file description locks");
    std::fclose(probe);
    return ok;
}

} // namespace

bool SqliteLocks::install(QString* error)
{
    static std::once_flag once;
    Registry& r = registry();
    std::call_once(once, [&r] {
        if (!kernelHasOfdLocks(&r.failure))
            return;
        if (sqlite3_initialize() != SQLITE_OK) {
            r.failure = QStringLiteral("SQLite does not start");
            return;
        }
        sqlite3_vfs* vfs = sqlite3_vfs_find("unix");
        if (!vfs || vfs->iVersion < 3 || !vfs->xSetSystemCall || !vfs->xGetSystemCall) {
            r.failure = QStringLiteral("SQLite's file layer lets no system call be replaced");
            return;
        }
        r.fcntl = reinterpret_cast<Fcntl>(vfs->xGetSystemCall(vfs, "fcntl"));
        r.close = reinterpret_cast<Close>(vfs->xGetSystemCall(vfs, "close"));
        if (!r.fcntl || !r.close) {
            r.failure = QStringLiteral("SQLite's file layer names no fcntl or close");
            return;
        }
        // The unix file layers share one table of system calls: every one of them locks this way.
        if (vfs->xSetSystemCall(vfs, "fcntl", reinterpret_cast<sqlite3_syscall_ptr>(&lockingFcntl)) !=
                SQLITE_OK ||
            vfs->xSetSystemCall(vfs, "close", reinterpret_cast<sqlite3_syscall_ptr>(&trackingClose)) !=
                SQLITE_OK) {
            vfs->xSetSystemCall(vfs, nullptr, nullptr);
            r.failure = QStringLiteral("SQLite refused the replaced system calls");
            return;
        }
        r.installed = true;
    });
    if (!r.installed && error)
        *error = r.failure;
    return r.installed;
}

bool SqliteLocks::installed()
{
    return registry().installed;
}

int SqliteLocks::lockedFiles()
{
    Registry& r = registry();
    const std::lock_guard guard(r.mutex);
    return int(r.files.size());
}

} // namespace corvan::host
