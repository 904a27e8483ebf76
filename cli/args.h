#ifndef CLI_ARGS_H
#define CLI_ARGS_H

#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

// The options of one subcommand and what the user gave for them. Options take the forms
// "--name value", "--name=value", "-x value" and "-xvalue"; "--" ends the options, so that a
// file whose name begins with "-" can still be named.
struct OptionSpec {
    const char *name;       // long name, without "--"
    char shortName;         // 0 when there is none
    bool takesValue;
};

class Args
{
public:
    // False with error() when an option is unknown or lacks its value.
    bool parse(const QStringList &arguments, const std::vector<OptionSpec> &specs);

    QStringList positional;

    bool has(const char *name) const { return values_.contains(QLatin1String(name)); }
    QString value(const char *name) const { return values_.value(QLatin1String(name)); }
    QString error() const { return error_; }
    // The value of an option, which is then no longer among the values (for an option whose
    // name the shared settings read differently).
    QString take(const char *name) { return values_.take(QLatin1String(name)); }

    // The value of an integer option within [lo, hi]; false with error() otherwise.
    bool intValue(const char *name, qint64 lo, qint64 hi, qint64 &out);

private:
    QHash<QString, QString> values_;
    QString error_;
};

#endif
