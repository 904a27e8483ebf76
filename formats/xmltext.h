#ifndef FORMATS_XMLTEXT_H
#define FORMATS_XMLTEXT_H

#include <QString>

class QIODevice;
class QXmlStreamReader;

// What the XML formats (CLF, ASC CDL) share.
namespace XmlText {
// The pass run before Qt's stream reader sees a document: it refuses a start tag longer than
// LutLimits::maxXmlTagBytes, since the reader holds a tag and its attributes whole. Comments,
// processing instructions and CDATA sections are walked over to their own ends. The device is
// rewound for the reader; false with the reason ("line N: ...") otherwise.
bool scan(QIODevice &device, QString *why);
// Text for an attribute value or element content: markup characters as entities, control
// characters other than tab as spaces.
QString escaped(const QString &text);

// How skipElement ended: at the element's end tag, at an element nested deeper than
// LutLimits::maxXmlDepth, or at the end of the document (or an XML error) first.
enum class Skipped { End, TooDeep, DocumentEnd };
// Reads from the current start element (at `depth`) to its end tag, appending its text (that of
// nested elements too) to `text`, when given, while it holds at most `limit` characters.
Skipped skipElement(QXmlStreamReader &xml, int depth, QString *text, int limit);
}

#endif
