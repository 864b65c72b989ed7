// The texts the about box and the quick help show: name, version, date, help and addresses.
#pragma once

#include <QString>
#include <QStringList>

namespace orvel {

// The program's name as its windows show it.
QString ApplicationTitle();

// "Version " and the major, minor and patch numbers the build was made with.
QString VersionText();

// The release date the quick-help window shows.
QString ReleaseDateText();

// The quick-help text, one entry per line, without line ends. The blanks at the end
// of some lines and the no-break space after the fourth belong to the text.
QStringList HelpTextLines();

// The same text as one string, every line ended by CR LF.
QString HelpText();

// Where the about box's two links lead.
QString MakerWebAddress();
QString MakerMailAddress();

} // namespace orvel
