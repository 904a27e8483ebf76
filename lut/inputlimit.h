#ifndef INPUTLIMIT_H
#define INPUTLIMIT_H

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <algorithm>

#include "lut/lutlimits.h"

// Inputs beyond the largest LUT file. Header-only, so that the image code, which does not link
// the LUT layer, refuses them the same way.
namespace InputLimit {

// Why an input of `bytes` bytes is refused.
inline QString tooLarge(const QString &path, qint64 bytes)
{
    return QStringLiteral("%1 is too large to be a LUT (%2 bytes)").arg(path).arg(bytes);
}

// Why an input read as a stream is refused once it passes the bound.
inline QString tooLarge(const QString &path)
{
    return QStringLiteral("%1 is too large to be a LUT (more than %2 bytes)").arg(path).arg(LutLimits::maxFileBytes);
}

// All of an input whose size cannot be known before it is read (a pipe, a FIFO, a device). The
// bytes are counted as they come, and reading stops as soon as they pass the largest LUT file,
// so an endless stream costs no more time or memory than the largest file would.
inline bool readAll(QIODevice &device, const QString &path, QByteArray *out, QString *why)
{
    constexpr qint64 chunk = qint64(256) << 10;
    constexpr qint64 cap = LutLimits::maxFileBytes + 1;   // one byte more tells an input beyond
    QByteArray text;
    qint64 size = 0;
    for (;;) {
        if (text.size() - size < chunk && text.size() < cap)
            text.resize(int(std::min(std::max(2 * qint64(text.size()), size + chunk), cap)));
        const qint64 got = device.read(text.data() + size, text.size() - size);
        if (got < 0) {
            *why = QStringLiteral("cannot read %1: %2").arg(path, device.errorString());
            return false;
        }
        if (got == 0)
            break;
        size += got;
        if (size > LutLimits::maxFileBytes) {
            *why = tooLarge(path);
            return false;
        }
    }
    text.truncate(int(size));
    *out = std::move(text);
    return true;
}

}

#endif
