// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace Quillmere {

// The outcome of reading or writing a document file: success, or failure with a reason that
// can be shown to a person (the caller may also ignore it).
struct FileResult
{
    bool ok = false;
    QString reason;

    static FileResult success() { return { true, {} }; }
    static FileResult failure(QString why) { return { false, std::move(why) }; }
    explicit operator bool() const { return ok; }
};

} // namespace Quillmere
