#include "engine/devices.h"

#include <QDir>
#include <QFileInfo>

#include <cstdlib>
#include <memory>

namespace Devices {

namespace {

// One entry per device family: its maker's manual, then what that manual asks of a LUT file.
// Adding a device is one entry. Names go through the same rule on every device with a menu
// and a memory card: ASCII letters, digits, '-' and '_', the characters every such device
// shows and every card file system keeps.
const std::vector<Device> table = {
    {"varicam", "Panasonic VariCam 35, VariCam LT and VariCam Pure cameras", "vlt", {17}, 17, Range::Full, false, 0,
     true, 0, ".vlt",
     {"VARICAM 3DLUT Reference Manual", "Rev. 1.0, 28 November 2014",
      "section 2, File definition of 3DLUT file: 17 points, 12-bit codes 0 to 4095, red fastest, ASCII",
      "https://pdfslide.us/documents/varicam-3dlut-rev10-panasonic-word-varicam-3dlutrev10doc-author-araki-created.html"}},
    {"sony", "Sony VENICE, FX9, FX6, FX3 and FX30 cameras (imported user 3D LUTs)", "cube", {17, 33}, 33,
     Range::Full, true, 0, true, 0, ".cube",
     {"Sony ILME-FX6 Help Guide", "", "Importing a user 3D LUT: .cube files of 17 or 33 grid points",
      "https://helpguide.sony.net/"}},
    {"blackmagic-camera", "Blackmagic URSA, Pocket Cinema, Micro Studio and Studio cameras", "cube", {17, 33}, 33,
     Range::Full, true, 0, true, 0, ".cube",
     {"Blackmagic Micro Studio Camera 4K G2 Installation and Operation Manual", "",
      "3D LUTs: up to 30 .cube LUTs of 17 or 33 points, 1.5 MB each",
      "https://www.blackmagicdesign.com/support/family/studio-cameras"}},
    {"blackmagic-monitor", "Blackmagic Video Assist, SmartView and SmartScope monitors", "cube", {17, 33}, 33,
     Range::Full, true, 0, true, 0, ".cube",
     {"Blackmagic Video Assist Installation and Operation Manual", "", "3D LUTs: .cube files of 17 or 33 points",
      "https://www.blackmagicdesign.com/support/family/monitoring-and-scopes"}},
    {"atomos", "Atomos Ninja, Shinobi and Shogun monitor-recorders", "cube", {17, 33}, 33, Range::Full, true, 0, true, 0,
     ".cube",
     {"Atomos Ninja V User Manual", "", "LUTs: .cube 3D LUTs of 17 or 33 points", "https://www.atomos.com/product-support"}},
    {"smallhd", "SmallHD monitors (PageOS)", "cube", {17, 33}, 33, Range::Full, true, 0, true, 0, ".cube",
     {"SmallHD PageOS Operation Manual", "", "LUTs: .cube 3D LUTs of 17 or 33 points", "https://smallhd.com/pages/support"}},
    {"aja-lutbox", "AJA LUT-box", "cube", {17, 33}, 33, Range::Full, true, 0, true, 0, ".cube",
     {"LUT-box Mini-Converter In-Line Color Transform", "Version 2.7, 21 May 2021",
      "LUTs: .cube 3D LUTs of 17 or 33 points", "https://www.aja.com/products/lut-box"}},
    {"dji", "DJI Ronin 4D and Zenmuse X9 cameras", "cube", {33}, 33, Range::Full, true, 0, true, 0, ".cube",
     {"DJI Ronin 4D User Manual", "", "Importing LUTs: .cube 3D LUTs of 33 points", "https://www.dji.com/ronin-4d/downloads"}},
    {"resolve", "DaVinci Resolve", "cube", {17, 33, 65}, 33, Range::Full, true, 0, false, 0, ".cube",
     {"DaVinci Resolve 18 Reference Manual", "18.6",
      "Supported LUTs: .cube 3D LUTs of 17, 33 or 65 points, 33 by default",
      "https://www.blackmagicdesign.com/support/family/davinci-resolve-and-fusion"}},
};

// 10-bit legal range: 64 to 940 of 1023.
constexpr float legalLow = 64.0f / 1023.0f;
constexpr float legalWidth = 876.0f / 1023.0f;

std::shared_ptr<const Ops::Node> scaling(bool toLegal)
{
    auto m = std::make_shared<Ops::Matrix>(0);
    for (int ch = 0; ch < 3; ++ch) {
        m->m[ch][ch] = toLegal ? legalWidth : 1.0f / legalWidth;
        m->m[ch][3] = toLegal ? legalLow : -legalLow / legalWidth;
    }
    return m;
}

// The device's size nearest to n (the larger of two as near).
int nearest(const Device &d, int n)
{
    int best = d.sizes[0];
    for (int s : d.sizes)
        if (s > 0 && std::abs(s - n) <= std::abs(best - n))
            best = s;
    return best;
}

QString plainName(const QString &name)
{
    QString out;
    for (const QChar c : name)
        out += (c.unicode() < 128 && (c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_'))) ? c : QLatin1Char('_');
    return out;
}

QString plainTitle(const QString &title)
{
    QString out;
    for (const QChar c : title)
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f && c != QLatin1Char('"'))
            out += c;
    return out.trimmed();
}

}

const std::vector<Device> &all()
{
    return table;
}

const Device *byName(const QString &name)
{
    for (const Device &d : table)
        if (name.compare(QLatin1String(d.name), Qt::CaseInsensitive) == 0)
            return &d;
    return nullptr;
}

QString sizesText(const Device &d)
{
    QStringList sizes;
    for (int s : d.sizes)
        if (s > 0)
            sizes << QString::number(s);
    if (sizes.size() < 2)
        return sizes.value(0);
    const QString last = sizes.takeLast();
    return sizes.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

QString rangeText(Range r)
{
    return r == Range::Legal ? QStringLiteral("legal") : QStringLiteral("full");
}

bool parseRange(const QString &text, Range *range)
{
    if (text.compare(QLatin1String("full"), Qt::CaseInsensitive) == 0)
        *range = Range::Full;
    else if (text.compare(QLatin1String("legal"), Qt::CaseInsensitive) == 0)
        *range = Range::Legal;
    else
        return false;
    return true;
}

Plan plan(const Device &d, const QString &outPath, int askedSize, int sourceSize, Range range, const QString &title)
{
    Plan p;
    const QString label = QStringLiteral("--device %1").arg(QLatin1String(d.name));
    if (askedSize > 0) {
        p.size = nearest(d, askedSize);
        if (p.size != askedSize)
            p.changes << QStringLiteral("--size %1 is changed to %2: %3 takes lattices of %4 points")
                             .arg(askedSize).arg(p.size).arg(label, sizesText(d));
    } else if (sourceSize > 0) {
        p.size = nearest(d, sourceSize);
        if (p.size != sourceSize)
            p.changes << QStringLiteral("its %1-point lattice is written at %2 points: %3 takes lattices of %4 points")
                             .arg(sourceSize).arg(p.size).arg(label, sizesText(d));
    } else {
        p.size = d.defaultSize;
    }

    const QFileInfo info(outPath);
    const QString extension = QString::fromLatin1(d.extension);
    QString base = info.completeBaseName();
    const QString given = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    if (given != extension && !given.isEmpty())
        p.changes << QStringLiteral("the extension %1 is changed to %2, which %3 reads").arg(given, extension, label);
    if (d.plainName && plainName(base) != base) {
        base = plainName(base);
        p.changes << QStringLiteral("the file name is changed to %1%2: %3 takes names of ASCII letters, digits, '-' and '_'")
                         .arg(base, extension, label);
    }
    if (d.nameLength > 0 && base.size() > d.nameLength) {
        base.truncate(d.nameLength);
        p.changes << QStringLiteral("the file name is shortened to %1%2: %3 takes names of up to %4 characters")
                         .arg(base, extension, label).arg(d.nameLength);
    }
    if (base.isEmpty())
        base = QStringLiteral("lut");
    const QString dir = info.path();
    p.path = (dir == QLatin1String(".") && !outPath.startsWith(QLatin1String("./")) ? QString() : dir + QLatin1Char('/'))
        + base + extension;

    if (range != d.range)
        p.changes << QStringLiteral("the LUT is changed from %1 range to the %2 range %3 takes")
                         .arg(rangeText(range), rangeText(d.range), label);
    if (d.titled) {
        p.title = plainTitle(title.isEmpty() ? base : title);
        if (d.titleLength > 0 && p.title.size() > d.titleLength) {
            p.title.truncate(d.titleLength);
            p.changes << QStringLiteral("the title is shortened to \"%1\": %2 shows titles of up to %3 characters")
                             .arg(p.title, label).arg(d.titleLength);
        }
    }
    return p;
}

LutTransform toRange(const LutTransform &lut, Range from, Range to)
{
    if (from == to)
        return lut;
    LutTransform out;
    out.metadata = lut.metadata;
    // The device's input is scaled to the LUT's range first, the LUT's output to the device's after.
    out.addNode(scaling(from == Range::Legal));
    out.append(lut);
    out.addNode(scaling(from == Range::Full));
    return out;
}

}
