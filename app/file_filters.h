// The filters of the program's file dialogs, kept in the "Name|patterns|"
// form of the program's menus and converted for QFileDialog.
#pragma once

#include <QString>
#include <QtGlobal>

namespace app {

inline const char* const kOpenImageFilter = QT_TRANSLATE_NOOP(
    "app::FileFilters",
    "Image files|*.bmp; *.dib; *.jif; *.jpeg; *.jpg; *.pbm; *.pcx; *.pgm; *.png; *.ppm; *.rle; "
    "*.tga; *.tif; *.tiff|BMP - Bitmap|*.bmp|DIB - Bitmap|*.dib|JIF - JPEG (JFIF compliant)|*.jif|"
    "JPEG - JPEG (JFIF compliant)|*.jpeg|JPG - JPEG (JFIF compliant)|*.jpg|PBM - Portable Bitmap|"
    "*.pbm|PCX - Paintbrush|*.pcx|PGM - Portable Graymap|*.pgm|PNG - Portable Network Graphics|"
    "*.png|PPM - Portable Pixelmap|*.ppm|RLE - Bitmap|*.rle|TGA - Truevision Targa|*.tga|"
    "TIF - Tagged Image File Format|*.tif|TIFF - Tagged Image File Format|*.tiff|All files|*.*");

inline const char* const kSaveImageFilter = QT_TRANSLATE_NOOP(
    "app::FileFilters",
    "BMP - Bitmap|*.bmp|JPG - JPEG (JFIF compliant)|*.jpg|PBM - Portable Bitmap|*.pbm|"
    "PGM - Portable Graymap|*.pgm|PNG - Portable Network Graphics|*.png|PPM - Portable Pixelmap|"
    "*.ppm|TGA - Truevision Targa|*.tga|TIF - Tagged Image File Format|*.tif|");

inline const char* const kParameterFileFilter =
    QT_TRANSLATE_NOOP("app::FileFilters", "Parameter files *.vtx|*.vtx|All Files|*.*");
// Load From Parameter File takes pictures that carry their settings too.
inline const char* const kSettingsPictureFilter =
    QT_TRANSLATE_NOOP("app::FileFilters", "Pictures with settings|*.png; *.jpg; *.jpeg; *.jif; *.tif; *.tiff|");

// "Name|*.a; *.b|Other|*.*" becomes "Name (*.a *.b);;Other (*)": the
// patterns of a pair go in brackets after its name, separated by spaces,
// and "*.*" (every file) becomes "*". A trailing bar ends the list.
QString ToQtFilter(const QString& barSeparated);
// One of the filters above, translated, for QFileDialog.
QString FileFilter(const char* barSeparated);

// The save dialog's file-name suffix for a Qt filter entry ("PNG - ... (*.png)"
// gives "png"); empty when the entry names no single extension.
QString SuffixOfFilter(const QString& qtFilterEntry);

// The entry of a Qt filter list ("A (*.a);;B (*.b *.c)") whose patterns take
// the file name's extension, whatever its case; "" when none does.
QString FilterMatchingName(const QString& qtFilter, const QString& fileName);

}  // namespace app
