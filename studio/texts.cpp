#include "studio/texts.h"

namespace Texts {

namespace {

struct Pair {
    const char *en;
    const char *zh;
};

const Pair table[] = {
#define STUDIO_TEXT_PAIR(name, en, zh) {en, zh},
    STUDIO_TEXTS(STUDIO_TEXT_PAIR)
#undef STUDIO_TEXT_PAIR
};
static_assert(sizeof(table) / sizeof(table[0]) == std::size_t(Id::Count), "one pair per text");

}

QString text(Id id, Language language)
{
    const Pair &p = table[int(id)];
    return QString::fromUtf8(language == Chinese ? p.zh : p.en);
}

}
