#ifndef FORMATS_XMLTEXT_H
#define FORMATS_XMLTEXT_H

#include <QString>

class QIODevice;

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
}

#endif
