#include "calc/findx.h"

#include <QTextStream>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "calc/tetrahedron.h"

namespace {

bool validCodes(const SampleRecord &s)
{
    return s.red >= 0 && s.red < SampleMap::codes && s.green >= 0 && s.green < SampleMap::codes
           && s.blue >= 0 && s.blue < SampleMap::codes;
}

bool mapColour(const SampleMap &map, const int *codes, float *colour)
{
    if (!map.sampled(codes[0], codes[1], codes[2]))
        return false;
    std::copy_n(map.cell(codes[0], codes[1], codes[2]), 3, colour);
    return true;
}

void writeCodes(QTextStream &s, const int *c)
{
    s << c[0] << ' ' << c[1] << ' ' << c[2];
}

}

FindXResult LutCalc::FindX(const int target[3], int *, int *, SampleRecord *const *samples, quint64 count,
                           const SampleMap &map, QTextStream *report, quint64 maxPairs)
{
    FindXResult result;
    std::copy(target, target + 3, result.target);
    result.sampleCount = count;
    if (report) {
        *report << "target ";
        writeCodes(*report, target);
        *report << '\n';
    }

    std::vector<SampleRecord> lower;
    std::vector<SampleRecord> upper;
    for (quint64 i = 0; i < count; ++i) {
        const SampleRecord &s = *samples[i];
        if (!validCodes(s) || !map.sampled(s.red, s.green, s.blue))
            continue;
        if (s.red == target[0] && s.green == target[1] && s.blue == target[2]) {
            result.exact = true;
            std::copy(map.cell(s.red, s.green, s.blue), map.cell(s.red, s.green, s.blue) + 3, result.exactColour);
            if (report) {
                *report << "exact match ";
                writeCodes(*report, target);
                *report << ": " << result.exactColour[0] << ' ' << result.exactColour[1] << ' '
                        << result.exactColour[2] << '\n';
            }
            return result;
        }
        SampleRecord copy = {s.red, s.green, s.blue, s.codeSum, {0, 0, 0}};
        if (s.red <= target[0] && s.green <= target[1] && s.blue <= target[2])
            lower.push_back(copy);
        if (s.red >= target[0] && s.green >= target[1] && s.blue >= target[2])
            upper.push_back(copy);
    }

    std::vector<SampleRecord *> lowerOrder;
    std::vector<SampleRecord *> upperOrder;
    for (SampleRecord &s : lower)
        lowerOrder.push_back(&s);
    for (SampleRecord &s : upper)
        upperOrder.push_back(&s);
    if (!lowerOrder.empty())
        std::qsort(lowerOrder.data(), lowerOrder.size(), sizeof(SampleRecord *), compmin);
    if (!upperOrder.empty())
        std::qsort(upperOrder.data(), upperOrder.size(), sizeof(SampleRecord *), compmax);
    result.lowerCount = lower.size();
    result.upperCount = upper.size();
    if (report)
        *report << "samples " << count << ", below " << lower.size() << ", above " << upper.size() << '\n';

    bool stop = false;
    for (const SampleRecord *L : lowerOrder) {
        const int low[3] = {L->red, L->green, L->blue};
        for (const SampleRecord *U : upperOrder) {
            if (maxPairs && result.pairs == maxPairs) {
                stop = true;
                break;
            }
            ++result.pairs;
            const int high[3] = {U->red, U->green, U->blue};
            float f[3];
            for (int ch = 0; ch < 3; ++ch)
                f[ch] = low[ch] < high[ch] ? float(target[ch] - low[ch]) / float(high[ch] - low[ch]) : 0.0f;
            FindXEstimate e;
            if (!blendCorners(f, low, high, [&](const int *c, float *colour) { return mapColour(map, c, colour); }, e.colour))
                continue;
            e.pair = result.pairs;
            std::copy(low, low + 3, e.lower);
            std::copy(high, high + 3, e.upper);
            result.estimates.push_back(e);
            if (report) {
                *report << "pair " << e.pair << ": ";
                writeCodes(*report, e.lower);
                *report << " - ";
                writeCodes(*report, e.upper);
                *report << " -> " << e.colour[0] << ' ' << e.colour[1] << ' ' << e.colour[2] << '\n';
            }
        }
        if (stop)
            break;
    }
    if (report)
        *report << "pairs examined " << result.pairs << '\n';
    return result;
}
