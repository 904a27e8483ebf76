#include "lut/samplelines.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "lut/numscan.h"
#include "lut/platform.h"

namespace SampleLines {

namespace {

std::atomic<qint64> threshold{qint64(4) << 20};
std::atomic<int> partsWanted{0};
std::mutex lastStartsMutex;
QVector<qint64> lastStarts;

void setLastStarts(const QVector<qint64> &starts)
{
    std::lock_guard<std::mutex> lock(lastStartsMutex);
    lastStarts = starts;
}

// The first part, parsed while the others are still being counted, is longer than each of
// the others by this share of one, so that all threads end together. Counting a line costs a
// third of parsing it, starting a thread and its reader somewhat more (callgrind, 65 points).
constexpr double countShare = 0.45;

// How far past a planned split a line end is looked for before the split is dropped.
constexpr qint64 splitSearch = qint64(1) << 20;

// Whether the first number of a line converts for certain, under %f and %d alike: it begins
// with a digit, and not as the "0x" of a hexadecimal number.
inline bool leadingDigit(const char *line, int len)
{
    if (len < 1 || unsigned(line[0] - '0') > 9)
        return false;
    return !(line[0] == '0' && len > 1 && (line[1] | 0x20) == 'x');
}

int readFloats(const char *line, int len, float *sample, const void *)
{
    return NumScan::scanFloats(line, len, sample, 3);
}

bool takesFloats(const char *line, int len, const void *)
{
    float v;
    return leadingDigit(line, len) || NumScan::scanFloats(line, len, &v, 1) >= 1;
}

// The cores that no other work keeps busy just now, at least one. A part beyond them would
// only wait its turn behind that work: counting it costs more than it saves.
int freeCores()
{
    return Platform::idleCores(QThread::idealThreadCount());
}

// Where the line after `at` begins: past the first LF at or after it, or -1 when none comes
// within the search distance.
qint64 lineStartAfter(QFile &file, qint64 at)
{
    if (!file.seek(at))
        return -1;
    char chunk[65536];
    for (qint64 seen = 0; seen < splitSearch;) {
        const qint64 got = file.read(chunk, sizeof chunk);
        if (got <= 0)
            return -1;
        if (const void *lf = std::memchr(chunk, '\n', std::size_t(got)))
            return at + seen + (static_cast<const char *>(lf) - chunk) + 1;
        seen += got;
    }
    return -1;
}

// One lattice read in parts. Part 0 is parsed at once from the first node on; the thread of
// part i first counts the samples of part i - 1, then, once every earlier part is counted,
// parses its own part from the node those counts give. A part never reports a failure of
// its own: the serial read that follows any doubt gives the reason and its line.
class PartedFill
{
public:
    PartedFill(Read_LUTFile &lut, const QString &path, const LineRule &rule, const float *min, const float *max)
        : lut_(lut), path_(path), rule_(rule), min_(min), max_(max), n_(lut.lut3DSize),
          nodes_(qint64(n_) * n_ * n_)
    {
    }

    // Parts of the bytes from `from` to the end of a file of `size` bytes, split after line
    // ends; at most `count`.
    void plan(qint64 from, qint64 size, int count)
    {
        QFile file(path_);
        if (!file.open(QIODevice::ReadOnly))
            return;
        const double unit = double(size - from) / (count + countShare);
        qint64 start = from;
        for (int i = 1; i < count; ++i) {
            const qint64 split = lineStartAfter(file, from + qint64(unit * (i + countShare)));
            if (split < 0 || split >= size)
                break;
            if (split <= start)
                continue;
            parts_.push_back(Part{start, split});
            start = split;
        }
        parts_.push_back(Part{start, -1});
    }

    int partCount() const { return int(parts_.size()); }

    QVector<qint64> starts() const
    {
        QVector<qint64> out;
        for (const Part &part : parts_)
            out.append(part.from);
        return out;
    }

    // Fill the lattice; false when the parts did not give it whole (then nodes may have been
    // written anywhere). On success `sample` holds the last sample, as after a serial fill.
    bool run(float *sample)
    {
        std::vector<std::thread> threads;
        try {
            for (int i = 1; i < partCount(); ++i)
                threads.emplace_back([this, i] { countThenParse(i); });
        } catch (const std::system_error &) {
            stop();
        }
        parse(0, sample);
        for (std::thread &t : threads)
            t.join();
        if (abort_)
            return false;
        qint64 filled = 0;
        for (const Part &part : parts_) {
            if (part.firstNode != filled)
                return false;   // a count did not come out as the parse
            filled += part.filled;
            if (filled == nodes_) {
                std::memcpy(sample, part.last, sizeof part.last);
                return true;
            }
        }
        return false;
    }

private:
    struct Part {
        qint64 from;
        qint64 to;
        // From the count of the part, made by the next part's thread.
        qint64 samples = 0;
        bool counted = false;
        // Where its parse begins, and what it filled.
        qint64 firstNode = 0;
        qint64 filled = 0;
        float last[3] = {0.0f, 0.0f, 0.0f};
    };

    void stop()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        abort_ = true;
        counted_.notify_all();
    }

    void countThenParse(int i)
    {
        if (!count(parts_[i - 1]))
            return stop();
        {
            std::unique_lock<std::mutex> lock(mutex_);
            parts_[i - 1].counted = true;
            counted_.notify_all();
            counted_.wait(lock, [&] {
                for (int j = 0; j < i; ++j)
                    if (!parts_[j].counted)
                        return bool(abort_);
                return true;
            });
            if (abort_)
                return;
            parts_[i].firstNode = 0;
            for (int j = 0; j < i; ++j)
                parts_[i].firstNode += parts_[j].samples;
        }
        parse(i, nullptr);
    }

    // How many lines of a part `rule_` takes.
    bool count(Part &part)
    {
        LineReader reader;
        if (!reader.open(path_, part.from, part.to))
            return false;
        qint64 samples = 0;
        while (reader.nextNonEmpty()) {
            if (rule_.takes(reader.data(), reader.size(), rule_.context))
                ++samples;
            if ((reader.lineNumber() & 0xFFF) == 0 && abort_)
                return false;
        }
        part.samples = samples;
        return reader.errorString().isEmpty();
    }

    // Store the samples of part i from its first node on. Only part 0 knows the sample before
    // its first; a later part whose first sample lacks a channel gives up.
    void parse(int i, const float *carry)
    {
        Part &part = parts_[i];
        float s[3] = {0.0f, 0.0f, 0.0f};
        if (carry)
            std::memcpy(s, carry, sizeof s);
        qint64 node = part.firstNode;
        if (node < nodes_) {
            LineReader reader;
            if (!reader.open(path_, part.from, part.to))
                return stop();
            int outer = int(node / (qint64(n_) * n_));
            int middle = int(node / n_ % n_);
            int inner = int(node % n_);
            bool first = carry == nullptr;
            while (node < nodes_ && reader.nextNonEmpty()) {
                const int got = rule_.read(reader.data(), reader.size(), s, rule_.context);
                if (got < 1)
                    continue;
                if (first && got < 3)
                    return stop();
                first = false;
                lut_.White3D(outer, middle, inner, s[0], s[1], s[2], min_, max_);
                ++node;
                if (++inner == n_) {
                    inner = 0;
                    if (++middle == n_) {
                        middle = 0;
                        ++outer;
                    }
                }
                if ((node & 0xFFF) == 0 && abort_)
                    return;
            }
            if (!reader.errorString().isEmpty())
                return stop();
        }
        part.filled = node - part.firstNode;
        std::memcpy(part.last, s, sizeof s);
    }

    Read_LUTFile &lut_;
    const QString path_;
    const LineRule rule_;
    const float *min_;
    const float *max_;
    const int n_;
    const qint64 nodes_;
    std::vector<Part> parts_;
    std::mutex mutex_;
    std::condition_variable counted_;
    std::atomic<bool> abort_{false};
};

}

const LineRule floatLines = {readFloats, takesFloats, nullptr};

qint64 partThreshold()
{
    return threshold;
}

void setPartThreshold(qint64 bytes)
{
    threshold = bytes;
}

void setPartCount(int parts)
{
    partsWanted = parts;
}

QVector<qint64> lastPartStarts()
{
    std::lock_guard<std::mutex> lock(lastStartsMutex);
    return lastStarts;
}

bool fillLatticeLines(Read_LUTFile &lut, LineReader &r, const LineRule &rule, const float *min, const float *max,
                      float *sample)
{
    setLastStarts({r.offset()});
    auto next = [&](float *s) {
        while (r.nextNonEmpty()) {
            if (rule.read(r.data(), r.size(), s, rule.context) >= 1)
                return true;
        }
        return false;
    };
    return fillLattice(lut, r, next, min, max, sample);
}

bool fillLatticeInParts(Read_LUTFile &lut, LineReader &r, const LineRule &rule, const float *min, const float *max,
                        float *sample)
{
    const QString path = r.fileName();
    const qint64 size = path.isEmpty() ? 0 : QFileInfo(path).size();
    const qint64 from = r.offset();
    if (size - from < std::max<qint64>(threshold, 1) || !lut.lut3D || lut.lut3DSize < 1)
        return fillLatticeLines(lut, r, rule, min, max, sample);
    const int wanted = partsWanted > 0 ? partsWanted.load() : freeCores();
    if (wanted < 2)
        return fillLatticeLines(lut, r, rule, min, max, sample);

    PartedFill fill(lut, path, rule, min, max);
    fill.plan(from, size, wanted);
    if (fill.partCount() >= 2) {
        float carry[3];
        std::memcpy(carry, sample, sizeof carry);
        if (fill.run(sample)) {
            setLastStarts(fill.starts());
            return true;
        }
        // The serial read decides, from the nodes it would find.
        std::memset(lut.lut3D.data(), 0, lut.lut3D.floatCount() * sizeof(float));
        std::memcpy(sample, carry, sizeof carry);
    }
    return fillLatticeLines(lut, r, rule, min, max, sample);
}

bool nextFloatLine(LineReader &r, float *sample)
{
    while (r.nextNonEmpty()) {
        if (NumScan::scanFloats(r.data(), r.size(), sample, 3) >= 1)
            return true;
    }
    return false;
}

bool fill3D(Read_LUTFile &lut, LineReader &r, const float *min, const float *max, float *carry)
{
    return fillLattice(lut, r, [&r](float *s) { return nextFloatLine(r, s); }, min, max, carry);
}

bool fill3DInParts(Read_LUTFile &lut, LineReader &r, const float *min, const float *max, float *carry)
{
    return fillLatticeInParts(lut, r, floatLines, min, max, carry);
}

bool fill1D(Read_LUTFile &lut, LineReader &r, const float *min, const float *max, float *carry)
{
    return fillTable(lut, r, [&r](float *s) { return nextFloatLine(r, s); }, min, max, carry);
}

QList<QByteArray> fields(const LineReader &r)
{
    const QByteArray simple = r.line().simplified();
    if (simple.isEmpty())
        return {};
    return simple.split(' ');
}

}
