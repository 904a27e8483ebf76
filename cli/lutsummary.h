#ifndef CLI_LUTSUMMARY_H
#define CLI_LUTSUMMARY_H

#include <QString>

class Read_LUTFile;

// A LUT in a few words, as the checking commands name it.
namespace LutSummary {

// "3D lattice of 33 points" or "1D table of 1024 entries": the table that is looked up.
QString table(const Read_LUTFile &lut);
// "3D" or "1D" and the points per axis (entries) of that table.
QString dimension(const Read_LUTFile &lut);
int size(const Read_LUTFile &lut);

}

#endif
