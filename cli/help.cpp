#include "cli/commands.h"

namespace {

const char general[] =
    "lutwright-cli converts colour look-up tables (LUTs) between file formats, in batches,\n"
    "merges two LUTs into one, compares two LUTs, inverts a LUT and shows what a LUT does to an\n"
    "image.\n"
    "\n"
    "Usage:\n"
    "  lutwright-cli convert IN... (-o OUT | -d DIR) [options]\n"
    "  lutwright-cli info FILE... [--json]\n"
    "  lutwright-cli formats\n"
    "  lutwright-cli devices\n"
    "  lutwright-cli merge FIRST SECOND -o OUT [options]\n"
    "  lutwright-cli apply LUT IMAGE -o OUT [options]\n"
    "  lutwright-cli compare A B [--size N] [--tolerance T] [--json]\n"
    "  lutwright-cli preview LUT -o OUT.png [--image IMAGE] [--size WxH]\n"
    "  lutwright-cli invert LUT -o OUT [--size N] [options]\n"
    "  lutwright-cli --help | COMMAND --help | --version\n"
    "\n"
    "FORMAT is a format name, id or extension (see 'lutwright-cli formats'). Without it a file's\n"
    "format comes from its extension; a .lut file is Houdini when it starts with \"Version\" and\n"
    "Discreet 1D when it has a \"LUT:\" line, and an image is a texture (64, 512 or 4096 pixels\n"
    "square) or an unwrapped cube (N*N x N), or a Hald image when its name holds \"hald\" (else\n"
    "give --in-format hald). An ICC profile (.icc, .icm) is read as what it does: a device link or\n"
    "abstract profile as its table, a display profile as its transform from CIE XYZ (D65 white) to\n"
    "the display's RGB; written, a LUT is an ICC device link.\n"
    "\n"
    "Exit status: 0 when everything succeeded, 1 when some file failed, 2 for a wrong command\n"
    "line, 130 when interrupted.\n";

const char convertHelp[] =
    "convert IN... (-o OUT | -d DIR) [options]\n"
    "  Convert LUT files. Inputs are converted in parallel; a file that fails is reported as\n"
    "  \"FILE: reason\" and the others go on. Every output is written to a temporary file and\n"
    "  renamed into place. In a folder (-d) an output never replaces an input.\n"
    "  -o, --output OUT     the output file (one input); its extension gives the format\n"
    "  -d, --dir DIR        write each output into DIR as NAME.EXT (made when missing)\n"
    "  --to FORMAT          output format (default: from OUT, or .cube with -d)\n"
    "  --size N             resample the 3D lattice to N points per axis (2 to 256); also the\n"
    "                       lattice made from a 1D input (default 33) and the one a CLF chain\n"
    "                       is evaluated on (default 33, or its largest LUT3D). Default: keep\n"
    "                       the size, or for formats that hold only some sizes the next that\n"
    "                       fits: .3dl 2^n + 1 (17, 33, 65), textures 16, 64 or 256, Hald\n"
    "                       images L*L for a level L of 2 to 16 (64 when the size is none of them)\n"
    "  --length N           entries of a 1D output (default: keep; 1024 from a 3D input;\n"
    "                       the 1D .lut format always holds 256)\n"
    "  --scale S            write integers of value * S instead of floats (default: floats;\n"
    "                       255 for the 1D .lut and 1023 for .csv, whose readers expect integers)\n"
    "  --bits N             sample depth: .3dl 8 to 16 (default 12), images 8 or 16 (default 8\n"
    "                       for PNG, 16 for TIFF)\n"
    "  --headerless         write a .3dl without its \"3DMESH\" and \"Mesh\" lines (a warning says\n"
    "                       when such a file would read back with another sample range)\n"
    "  --cdl S,O,P,SAT      put an ASC CDL before each input's LUT, as a grade before a show LUT:\n"
    "                       4 numbers (a slope, an offset and a power for all three channels,\n"
    "                       then the saturation) or 10 (slopes R G B, offsets R G B, powers R G B,\n"
    "                       saturation), separated by commas, e.g. --cdl 1.1,0.02,0.9,1.2. It is\n"
    "                       evaluated as ASC CDL v1.2 defines it: clamp(in * slope + offset) ^ power,\n"
    "                       then the saturation about Rec. 709 luma, clamped to 0 to 1\n"
    "  --cdl-file FILE      the same from a CDL file: .cc, .ccc or .cdl (--cdl-id picks in the\n"
    "                       last two), or a .clf of one ASC_CDL\n"
    "  --cdl-after          put the CDL after the LUT instead, on its output\n"
    "  --in-format FORMAT   read every input as FORMAT\n"
    "  --cdl-id ID          the correction read of a .ccc or .cdl: the one whose id is ID, else\n"
    "                       the N-th when ID is a number N (from 1); default the first\n"
    "  --in-data rgb|bgr    order of the three numbers of a sample in the input\n"
    "  --in-table rgb|bgr   lattice order of the input: rgb = blue index fastest,\n"
    "                       bgr = red index fastest\n"
    "  --out-data rgb|bgr   the same for the output\n"
    "  --out-table rgb|bgr\n"
    "  -j, --jobs N         files converted at once (default: all cores)\n"
    "  --device NAME        write for a camera, monitor or LUT box (see 'lutwright-cli devices'):\n"
    "                       its format, a lattice size, range, title and file name it takes; each\n"
    "                       change made to fit is said in a warning\n"
    "  --range full|legal   the range the input LUTs were made for (default full); a device of\n"
    "                       the other range gets the LUT scaled to its range\n"
    "  --from-profile A --to-profile B\n"
    "                       follow each LUT with the transform from ICC profile A to ICC profile B,\n"
    "                       files or the built-in sRGB, Rec.709 (BT.1886, a 2.4 power) and Display\n"
    "                       P3; without an input the output is that transform alone, as a display\n"
    "                       calibration LUT is made (a lattice of --size points, default 33)\n"
    "  --intent NAME        rendering intent of the profiles: perceptual, relative (default),\n"
    "                       saturation or absolute\n"
    "  Without order options each side uses its format's own order; a .cube output is written\n"
    "  R G B on each line with the red index fastest. A 3D input written to a 1D format gives\n"
    "  its grey axis; a 1D input written to a 3D format gives the separable lattice.\n"
    "  Examples:\n"
    "    lutwright-cli convert grade.3dl -o grade.cube\n"
    "    lutwright-cli convert shots/*.cube -d spi/ --to spi3d --size 33\n"
    "    lutwright-cli convert look.cube -o look.davlut --out-table bgr\n"
    "    lutwright-cli convert log.cube -o log.spi1d --length 4096\n"
    "    lutwright-cli convert grade.cube -o grade.3dl --bits 10\n"
    "    lutwright-cli convert grade.cube -o grade.png --to hald --bits 16\n"
    "    lutwright-cli convert show.cube --cdl-file shots.ccc --cdl-id A012C003 -o A012C003.cube\n"
    "    lutwright-cli convert shots.ccc --cdl-id 2 -o shot2.cc\n"
    "    lutwright-cli convert grade.cube -o grade.icc --size 33\n"
    "    lutwright-cli convert show.cube --device varicam -o show.vlt\n"
    "    lutwright-cli convert --from-profile sRGB --to-profile monitor.icc -o calibration.cube\n";

const char infoHelp[] =
    "info FILE... [--json] [--size N] [--in-format FORMAT] [--in-data rgb|bgr] [--in-table rgb|bgr]\n"
    "     [--cdl-id ID]\n"
    "  Show each file's format, dimension, sizes, domains and the range of each channel's\n"
    "  values, the numbers of a CDL (slope, offset, power, saturation) or a matrix, and what the\n"
    "  file says of itself (a CLF's or CDL's descriptions, the ids of a .ccc's corrections;\n"
    "  \"baked\" when a chain was evaluated on a lattice of --size points; an ICC profile's class,\n"
    "  version, description and how it is read). A file that cannot be read is reported with the\n"
    "  reason and its line number.\n"
    "  --json               print a JSON array with one object per file (a file that cannot\n"
    "                       be read has \"path\" and \"error\")\n"
    "  Examples:\n"
    "    lutwright-cli info grade.cube curve.spi1d\n"
    "    lutwright-cli info film.png --in-format hald\n";

const char formatsHelp[] =
    "formats\n"
    "  List the formats: id, extensions, dimension, whether they can be read and written.\n";

const char devicesHelp[] =
    "devices\n"
    "  List the devices convert --device writes for: the format, lattice sizes, range, title and\n"
    "  file-name rules each takes, and the maker's manual they come from.\n";

const char mergeHelp[] =
    "merge FIRST SECOND -o OUT [--size N] [--to FORMAT] [output and input options]\n"
    "  Write the LUT that applies FIRST and then SECOND, from any readable formats. The merged\n"
    "  lattice has N points per axis (default: the larger of the two inputs' sizes).\n"
    "  Example:\n"
    "    lutwright-cli merge log_to_rec709.cube film_look.3dl -o shot.cube --size 65\n";

const char applyHelp[] =
    "apply LUT IMAGE -o OUT [-j N] [input options]\n"
    "  Apply a LUT to a PNG, TIFF, JPEG or BMP image (8 or 16 bits per channel; alpha is kept)\n"
    "  by tetrahedral interpolation, to see what the LUT does. OUT's extension gives its format;\n"
    "  PNG output is written with fast compression.\n"
    "  Example:\n"
    "    lutwright-cli apply grade.cube still.png -o still_graded.png\n";

const char compareHelp[] =
    "compare A B [--size N] [--tolerance T] [--json] [input options]\n"
    "  How far two LUTs of any readable formats and sizes are apart. Both are looked up\n"
    "  tetrahedrally, each over its own domain, at the nodes of an N-point lattice and at\n"
    "  the nodes of each file; a 1D LUT is looked up as its separable lattice. For each output\n"
    "  channel: the largest difference (also in 10-bit and 12-bit code values), the mean, the\n"
    "  99th percentile, and the input colour where the largest occurs with what A and B give.\n"
    "  A file with both a 1D table and a lattice is compared by its lattice.\n"
    "  --size N             lattice points per axis, 2 to 256 (default: the finer of the\n"
    "                       two lattices, at least 33)\n"
    "  --tolerance T        the largest difference that still counts as the same (default 0)\n"
    "  --json               print the result as one JSON object (NaN and infinity as null)\n"
    "  Exit status: 0 when the largest difference is within the tolerance, 1 when it is not\n"
    "  or a file cannot be read, 2 for a wrong command line.\n"
    "  Example:\n"
    "    lutwright-cli compare grade.cube grade.3dl --tolerance 0.0005\n";

const char previewHelp[] =
    "preview LUT -o OUT.png [--image IMAGE] [--size WxH] [-j N] [input options]\n"
    "  A PNG that shows what a LUT does: a test chart (grey, primary and secondary ramps, hue\n"
    "  sweeps, skin and sky patches, a colour field) before and after the LUT, beside the\n"
    "  LUT's curves along the grey axis and each primary axis.\n"
    "  --image IMAGE        show this picture (scaled to fit) instead of the chart\n"
    "  --size WxH           size of the PNG, 640x360 to 8192x8192 (default 1600x900)\n"
    "  Example:\n"
    "    lutwright-cli preview grade.cube -o grade.png --image still.jpg\n";

const char invertHelp[] =
    "invert LUT -o OUT [--size N] [--length N] [--to FORMAT] [output and input options]\n"
    "  Write the LUT that undoes LUT. A 1D table (or a lattice's shaper) is inverted exactly\n"
    "  where it rises or falls; where a channel is flat or turns back it has no inverse, and a\n"
    "  warning says where. A lattice is inverted on a lattice over its output values (0 to 1 at\n"
    "  least): colours outside what the LUT gives take the input of the nearest colour it gives.\n"
    "  Prints how far the LUT then its inverse, and the inverse then the LUT, land from where\n"
    "  they started, as compare reports a difference.\n"
    "  --size N             points per axis of the inverse lattice, 2 to 256 (default: the\n"
    "                       LUT's, at least 33)\n"
    "  --length N           entries of a 1D output (default: the LUT's)\n"
    "  --strict             write nothing when the inverse cannot undo everything\n"
    "  The other options are those of convert.\n"
    "  Examples:\n"
    "    lutwright-cli invert display.cube -o display_inverse.cube\n"
    "    lutwright-cli invert log_to_lin.spi1d -o lin_to_log.spi1d --length 4096\n";

}

QString Commands::help(const QString &command)
{
    if (command == QLatin1String("usage"))
        return QString::fromUtf8(general);
    if (command == QLatin1String("convert"))
        return QString::fromUtf8(convertHelp);
    if (command == QLatin1String("info"))
        return QString::fromUtf8(infoHelp);
    if (command == QLatin1String("formats"))
        return QString::fromUtf8(formatsHelp);
    if (command == QLatin1String("devices"))
        return QString::fromUtf8(devicesHelp);
    if (command == QLatin1String("merge"))
        return QString::fromUtf8(mergeHelp);
    if (command == QLatin1String("apply"))
        return QString::fromUtf8(applyHelp);
    if (command == QLatin1String("compare"))
        return QString::fromUtf8(compareHelp);
    if (command == QLatin1String("preview"))
        return QString::fromUtf8(previewHelp);
    if (command == QLatin1String("invert"))
        return QString::fromUtf8(invertHelp);
    return QString::fromUtf8(general) + QLatin1Char('\n') + QString::fromUtf8(convertHelp) + QLatin1Char('\n')
           + QString::fromUtf8(infoHelp) + QLatin1Char('\n') + QString::fromUtf8(formatsHelp) + QLatin1Char('\n')
           + QString::fromUtf8(devicesHelp) + QLatin1Char('\n')
           + QString::fromUtf8(mergeHelp) + QLatin1Char('\n') + QString::fromUtf8(applyHelp) + QLatin1Char('\n')
           + QString::fromUtf8(compareHelp) + QLatin1Char('\n') + QString::fromUtf8(previewHelp) + QLatin1Char('\n')
           + QString::fromUtf8(invertHelp);
}

QString Commands::version()
{
    return QStringLiteral("lutwright-cli " LUTWRIGHT_VERSION "\n");
}
