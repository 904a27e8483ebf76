#include "cli/args.h"

bool Args::parse(const QStringList &arguments, const std::vector<OptionSpec> &specs)
{
    auto findLong = [&](const QString &name) -> const OptionSpec * {
        for (const OptionSpec &s : specs)
            if (name == QLatin1String(s.name))
                return &s;
        return nullptr;
    };
    auto findShort = [&](QChar c) -> const OptionSpec * {
        for (const OptionSpec &s : specs)
            if (s.shortName && c == QLatin1Char(s.shortName))
                return &s;
        return nullptr;
    };

    bool optionsEnded = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (optionsEnded || a == QLatin1String("-") || !a.startsWith(QLatin1Char('-'))) {
            positional << a;
            continue;
        }
        if (a == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        const OptionSpec *option = nullptr;
        QString inlineValue;
        bool hasInline = false;
        if (a.startsWith(QLatin1String("--"))) {
            QString name = a.mid(2);
            const int eq = name.indexOf(QLatin1Char('='));
            if (eq >= 0) {
                inlineValue = name.mid(eq + 1);
                hasInline = true;
                name.truncate(eq);
            }
            option = findLong(name);
        } else {
            option = findShort(a.at(1));
            if (a.size() > 2) {
                inlineValue = a.mid(2);
                hasInline = true;
            }
        }
        if (!option) {
            error_ = QStringLiteral("unknown option '%1'").arg(a);
            return false;
        }
        const QString shownName = QStringLiteral("--") + QLatin1String(option->name);
        if (!option->takesValue) {
            if (hasInline) {
                error_ = QStringLiteral("option '%1' takes no value").arg(shownName);
                return false;
            }
            values_.insert(QLatin1String(option->name), QString());
            continue;
        }
        if (!hasInline) {
            if (i + 1 >= arguments.size()) {
                error_ = QStringLiteral("option '%1' needs a value").arg(shownName);
                return false;
            }
            inlineValue = arguments.at(++i);
        }
        values_.insert(QLatin1String(option->name), inlineValue);
    }
    return true;
}

bool Args::intValue(const char *name, qint64 lo, qint64 hi, qint64 &out)
{
    const QString text = value(name);
    bool ok = false;
    const qint64 v = text.toLongLong(&ok);
    if (!ok || v < lo || v > hi) {
        error_ = QStringLiteral("--%1 needs a whole number from %2 to %3, not '%4'")
                     .arg(QLatin1String(name)).arg(lo).arg(hi).arg(text);
        return false;
    }
    out = v;
    return true;
}
