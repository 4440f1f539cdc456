#pragma once
// How every part of the program says that something did not work: one small
// value, returned (as `Expected<T>`) instead of a flag with a separate
// lastError(), an out-parameter, an empty "ok" string or a code. The kind
// lets a caller decide (wait for disk space, ask again, give up); the text is
// the whole sentence a person reads, with the file name and the system's own
// reason already in it.
#include <QString>
#include <cerrno>
#include <tl/expected.hpp>

namespace zel {

struct Failure {
    enum class Kind {
        DiskFull, // no space left: waiting and trying again can mend it
        NotFound, // a file, folder, port or record that is not there
        Refused,  // permission, a planted link, a read-only file system
        InUse,    // another program holds it (the folder lock, a busy port)
        Protocol, // the instrument or a file said something we cannot read
        TimedOut, // no answer in time
        Settings, // a setting or a user's entry that cannot be used
        Other,    // any other system error; the text says which
    };
    Kind kind = Kind::Other;
    QString text;
};

template <typename T> using Expected = tl::expected<T, Failure>;

// The failure side of an Expected, for `return fail(...)`.
inline tl::unexpected<Failure> fail(Failure::Kind kind, QString text) {
    return tl::unexpected<Failure>(Failure{kind, std::move(text)});
}

// The kind a system error number belongs to.
inline Failure::Kind failureKindOf(int errorNumber) {
    switch (errorNumber) {
    case ENOSPC:
    case EDQUOT:
        return Failure::Kind::DiskFull;
    case ENOENT:
    case ENOTDIR:
        return Failure::Kind::NotFound;
    case EACCES:
    case EPERM:
    case ELOOP:
    case EROFS:
        return Failure::Kind::Refused;
    case EBUSY:
    case EWOULDBLOCK:
        return Failure::Kind::InUse;
    case ETIMEDOUT:
        return Failure::Kind::TimedOut;
    default:
        return Failure::Kind::Other;
    }
}

} // namespace zel
