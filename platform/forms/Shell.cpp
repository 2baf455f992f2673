// The shell and system information over Qt: QDesktopServices opens addresses and documents,
// QMimeDatabase and the icon theme describe files, QLocale gives the language.
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QLocale>
#include <QMimeDatabase>
#include <QPixmap>
#include <QRegularExpression>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <cstring>

#include "platform/forms/Dialogs.h"
#include "platform/forms/ShellApi.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr intptr_t kShellOk = 42;

bool OnGuiThread() {
  auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  return app && app->thread() == QThread::currentThread();
}

// Copies Text into a fixed field, cut at a character boundary to leave room for the NUL.
template <size_t N>
void CopyField(char (&field)[N], const std::string& text) {
  size_t n = std::min(text.size(), N - 1);
  while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
}

// A web address: a scheme of two letters or more ("C:" is a drive), or "www.".
bool IsAddress(const std::string& s) {
  static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
  return scheme.match(QString::fromStdString(s)).hasMatch() || StartsText("www.", s);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Opening files and addresses

intptr_t ShellExecute(HWND /*Wnd*/, const char* Operation, const char* File, const char* /*Parameters*/,
                      const char* Directory, int32_t /*ShowCmd*/) {
  const std::string verb = Operation && *Operation ? Operation : "open";
  if (!SameText(verb, "open") && !SameText(verb, "explore")) return SE_ERR_NOASSOC;
  const std::string file = Trim(File ? File : "");
  if (file.empty()) return SE_ERR_FNF;
  QUrl url;
  if (IsAddress(file)) {
    url = QUrl(QString::fromStdString(StartsText("www.", file) ? "http://" + file : file));
    if (!url.isValid()) return SE_ERR_FNF;
    if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile())) return SE_ERR_FNF;
  } else {
    std::string path = file;
    if (path[0] != '/') {
      const std::string dir = Directory && *Directory ? Directory : GetCurrentDir();
      path = IncludeTrailingPathDelimiter(dir) + path;
    }
    if (!FileExists(path) && !DirectoryExists(path)) return SE_ERR_FNF;
    url = QUrl::fromLocalFile(QString::fromStdString(path));
  }
  const std::string address = url.toString(QUrl::FullyEncoded).toStdString();
  if (TDialogScript::Active()) {
    RecordShown({"ShellExecute", verb, address, 0});
    return kShellOk;
  }
  if (OnGuiThread()) return QDesktopServices::openUrl(url) ? kShellOk : SE_ERR_NOASSOC;
  // Another thread: the desktop is asked from the GUI thread.
  QMetaObject::invokeMethod(QCoreApplication::instance(), [url] { QDesktopServices::openUrl(url); },
                            Qt::QueuedConnection);
  return kShellOk;
}

BOOL ShellExecuteEx(SHELLEXECUTEINFO* Info) {
  if (!Info || Info->cbSize != sizeof(SHELLEXECUTEINFO)) return 0;
  Info->hInstApp = ShellExecute(Info->hwnd, Info->lpVerb, Info->lpFile, Info->lpParameters, Info->lpDirectory,
                                Info->nShow);
  return Info->hInstApp > 32 ? 1 : 0;
}

// ---------------------------------------------------------------------------------------------
// File information

namespace {

// The desktop's icon theme; where the platform names none (offscreen, a bare X server), the
// first installed of the common ones in the XDG icon folders.
void EnsureIconTheme() {
  static const bool done = [] {
    if (QIcon::themeName().isEmpty()) {
      QStringList paths = QIcon::themeSearchPaths();
      QStringList dataDirs;
      const QByteArray home = qgetenv("XDG_DATA_HOME");
      dataDirs << (home.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share") : QString::fromLocal8Bit(home));
      const QByteArray dirs = qgetenv("XDG_DATA_DIRS");
      dataDirs << (dirs.isEmpty() ? QStringLiteral("/usr/local/share:/usr/share") : QString::fromLocal8Bit(dirs))
                      .split(QLatin1Char(':'), Qt::SkipEmptyParts);
      paths << QDir::homePath() + QStringLiteral("/.icons");
      for (const QString& d : dataDirs) paths << d + QStringLiteral("/icons");
      QIcon::setThemeSearchPaths(paths);
      for (const char* name : {"Adwaita", "breeze", "hicolor"}) {
        const bool found = std::any_of(paths.begin(), paths.end(), [&](const QString& p) {
          return QFileInfo::exists(p + QLatin1Char('/') + QLatin1String(name) + QStringLiteral("/index.theme"));
        });
        if (found) {
          QIcon::setThemeName(QLatin1String(name));
          break;
        }
      }
    }
    if (QIcon::fallbackThemeName().isEmpty()) QIcon::setFallbackThemeName(QStringLiteral("hicolor"));
    return true;
  }();
  (void)done;
}

// An icon handle of an image (32-bit with alpha, and the mask of its transparent pixels).
HICON IconOfImage(const QImage& source) {
  const QImage image = source.convertToFormat(QImage::Format_ARGB32);
  const int32_t w = image.width(), h = image.height();
  if (w <= 0 || h <= 0) return nullptr;
  std::vector<uint8_t> info(sizeof(BITMAPINFO), 0);
  auto* bmi = reinterpret_cast<BITMAPINFO*>(info.data());
  bmi->bmiHeader.biSize = 40;
  bmi->bmiHeader.biWidth = w;
  bmi->bmiHeader.biHeight = -h;  // top-down
  bmi->bmiHeader.biPlanes = 1;
  bmi->bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP color = CreateDIBSection(nullptr, bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!color || !bits) return nullptr;
  const size_t maskRow = static_cast<size_t>((w + 15) / 16 * 2);
  std::vector<uint8_t> mask(maskRow * static_cast<size_t>(h), 0);
  for (int32_t y = 0; y < h; ++y) {
    std::memcpy(static_cast<uint8_t*>(bits) + static_cast<size_t>(y) * w * 4, image.constScanLine(y),
                static_cast<size_t>(w) * 4);
    const auto* px = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
    for (int32_t x = 0; x < w; ++x)
      if (qAlpha(px[x]) == 0) mask[static_cast<size_t>(y) * maskRow + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
  }
  HBITMAP monochrome = CreateBitmap(w, h, 1, 1, mask.data());
  ICONINFO ii;
  ii.hbmMask = monochrome;
  ii.hbmColor = color;
  HICON icon = monochrome ? CreateIconIndirect(&ii) : nullptr;
  DeleteObject(color);
  if (monochrome) DeleteObject(monochrome);
  return icon;
}

HICON TypeIcon(const QMimeType& type, int32_t size) {
  if (!OnGuiThread()) return nullptr;
  EnsureIconTheme();
  QIcon icon = QIcon::fromTheme(type.iconName());
  if (icon.isNull()) icon = QIcon::fromTheme(type.genericIconName());
  if (icon.isNull()) return nullptr;
  QImage image = icon.pixmap(QSize(size, size), 1.0).toImage();
  if (image.isNull()) return nullptr;
  if (image.width() != size || image.height() != size)
    image = image.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  return IconOfImage(image);
}

}  // namespace

uintptr_t SHGetFileInfo(const char* Path, DWORD FileAttributes, SHFILEINFO* Info, UINT InfoSize, UINT Flags) {
  if (!Path || !*Path || (Flags & SHGFI_PIDL)) return 0;
  if (Info && InfoSize < sizeof(SHFILEINFO)) return 0;
  const std::string path = Path;
  const QString qpath = QString::fromStdString(path);
  QMimeDatabase db;
  QMimeType type;
  if (Flags & SHGFI_USEFILEATTRIBUTES) {
    type = (FileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? db.mimeTypeForName(QStringLiteral("inode/directory"))
                                                       : db.mimeTypeForFile(qpath, QMimeDatabase::MatchExtension);
  } else {
    if (!QFileInfo::exists(qpath)) return 0;
    type = db.mimeTypeForFile(qpath);
  }
  if (!Info) return 1;
  if (Flags & SHGFI_ICON) Info->hIcon = TypeIcon(type, (Flags & SHGFI_SMALLICON) ? 16 : 32);
  if (Flags & SHGFI_TYPENAME) CopyField(Info->szTypeName, type.comment().toStdString());
  if (Flags & SHGFI_DISPLAYNAME) {
    const std::string name = ExtractFileName(ExcludeTrailingPathDelimiter(path));
    CopyField(Info->szDisplayName, name.empty() ? path : name);
  }
  return 1;
}

// ---------------------------------------------------------------------------------------------
// System information

namespace {

// The languages the platform numbers here: the language, the platform's primary id and
// sublanguage, and the country that id stands for. Rows with a country refine the language's
// first row.
struct TLanguageRow {
  QLocale::Language language;
  QLocale::Territory territory;
  uint16_t primary;
  uint16_t sub;
};

const TLanguageRow kLanguages[] = {
    {QLocale::English, QLocale::UnitedStates, 0x09, 1},   {QLocale::English, QLocale::UnitedKingdom, 0x09, 2},
    {QLocale::English, QLocale::Australia, 0x09, 3},      {QLocale::English, QLocale::Canada, 0x09, 4},
    {QLocale::English, QLocale::NewZealand, 0x09, 5},     {QLocale::English, QLocale::Ireland, 0x09, 6},
    {QLocale::Italian, QLocale::Italy, 0x10, 1},          {QLocale::Italian, QLocale::Switzerland, 0x10, 2},
    {QLocale::German, QLocale::Germany, 0x07, 1},         {QLocale::German, QLocale::Switzerland, 0x07, 2},
    {QLocale::German, QLocale::Austria, 0x07, 3},         {QLocale::Spanish, QLocale::Spain, 0x0A, 3},
    {QLocale::Spanish, QLocale::Mexico, 0x0A, 2},         {QLocale::French, QLocale::France, 0x0C, 1},
    {QLocale::French, QLocale::Belgium, 0x0C, 2},         {QLocale::French, QLocale::Canada, 0x0C, 3},
    {QLocale::French, QLocale::Switzerland, 0x0C, 4},     {QLocale::Portuguese, QLocale::Brazil, 0x16, 1},
    {QLocale::Portuguese, QLocale::Portugal, 0x16, 2},    {QLocale::Greek, QLocale::Greece, 0x08, 1},
    {QLocale::Russian, QLocale::Russia, 0x19, 1},         {QLocale::Dutch, QLocale::Netherlands, 0x13, 1},
    {QLocale::Dutch, QLocale::Belgium, 0x13, 2},          {QLocale::Swedish, QLocale::Sweden, 0x1D, 1},
    {QLocale::Swedish, QLocale::Finland, 0x1D, 2},        {QLocale::Polish, QLocale::Poland, 0x15, 1},
    {QLocale::Japanese, QLocale::Japan, 0x11, 1},         {QLocale::Czech, QLocale::CzechRepublic, 0x05, 1},
    {QLocale::Finnish, QLocale::Finland, 0x0B, 1},        {QLocale::Persian, QLocale::Iran, 0x29, 1},
    {QLocale::Chinese, QLocale::China, 0x04, 2},          {QLocale::Chinese, QLocale::Taiwan, 0x04, 1},
    {QLocale::Chinese, QLocale::HongKong, 0x04, 3},       {QLocale::Chinese, QLocale::Singapore, 0x04, 4},
    {QLocale::Chinese, QLocale::Macau, 0x04, 5},          {QLocale::Danish, QLocale::Denmark, 0x06, 1},
    {QLocale::Turkish, QLocale::Turkey, 0x1F, 1},         {QLocale::Korean, QLocale::SouthKorea, 0x12, 1},
    {QLocale::Hungarian, QLocale::Hungary, 0x0E, 1},      {QLocale::Arabic, QLocale::SaudiArabia, 0x01, 1},
    {QLocale::Arabic, QLocale::Egypt, 0x01, 3},           {QLocale::Croatian, QLocale::Croatia, 0x1A, 1},
    {QLocale::Serbian, QLocale::Serbia, 0x1A, 10},        {QLocale::NorwegianBokmal, QLocale::Norway, 0x14, 1},
    {QLocale::NorwegianNynorsk, QLocale::Norway, 0x14, 2},
};
// Serbian in Latin letters (Serbia).
constexpr uint16_t kSerbianLatinSub = 9;

LANGID LangIDOf(const QLocale& locale) {
  if (locale.language() == QLocale::C) return MAKELANGID(0x09, 1);
  const TLanguageRow* first = nullptr;
  for (const TLanguageRow& row : kLanguages) {
    if (row.language != locale.language()) continue;
    if (!first) first = &row;
    if (row.territory == locale.territory()) {
      if (row.language == QLocale::Serbian && locale.script() == QLocale::LatinScript)
        return MAKELANGID(row.primary, kSerbianLatinSub);
      return MAKELANGID(row.primary, row.sub);
    }
  }
  if (!first) return 0;
  if (first->language == QLocale::Serbian && locale.script() == QLocale::LatinScript)
    return MAKELANGID(first->primary, kSerbianLatinSub);
  return MAKELANGID(first->primary, first->sub);
}

// The locale of an LCID: the defaults are the system's ("C" reads as US English); other ids must
// be in the table.
bool LocaleOf(LCID id, QLocale& out) {
  if (id == LOCALE_SYSTEM_DEFAULT || id == LOCALE_USER_DEFAULT || id == 0) {
    out = QLocale::system();
    if (out.language() == QLocale::C) out = QLocale(QLocale::English, QLocale::UnitedStates);
    return true;
  }
  const auto lang = static_cast<LANGID>(id & 0xFFFF);
  for (const TLanguageRow& row : kLanguages) {
    if (row.primary != PRIMARYLANGID(lang)) continue;
    if (row.language == QLocale::Serbian && SUBLANGID(lang) == kSerbianLatinSub) {
      out = QLocale(QLocale::Serbian, QLocale::LatinScript, QLocale::Serbia);
      return true;
    }
    if (row.sub == SUBLANGID(lang)) {
      out = QLocale(row.language, row.territory);
      return true;
    }
  }
  return false;
}

}  // namespace

LANGID LangIDFromLocaleName(std::string_view Name) {
  return LangIDOf(QLocale(QString::fromUtf8(Name.data(), static_cast<qsizetype>(Name.size()))));
}

LANGID GetUserDefaultLangID() { return LangIDOf(QLocale::system()); }
LANGID GetSystemDefaultLangID() { return LangIDOf(QLocale::system()); }
LCID GetThreadLocale() { return GetUserDefaultLangID(); }

int32_t GetLocaleInfo(LCID Locale, LCTYPE Type, char* Data, int32_t Size) {
  QLocale locale;
  if (!LocaleOf(Locale, locale) || Size < 0) return 0;
  QString text;
  switch (Type) {
    case LOCALE_SENGLANGUAGE: text = QLocale::languageToString(locale.language()); break;
    case LOCALE_SENGCOUNTRY: text = QLocale::territoryToString(locale.territory()); break;
    case LOCALE_SNATIVELANGNAME: text = locale.nativeLanguageName(); break;
    case LOCALE_SISO639LANGNAME: text = QLocale::languageToCode(locale.language()); break;
    case LOCALE_SISO3166CTRYNAME: text = QLocale::territoryToCode(locale.territory()); break;
    default: return 0;
  }
  const std::string s = text.toStdString();
  const auto needed = static_cast<int32_t>(s.size() + 1);
  if (Size == 0) return needed;
  if (!Data || Size < needed) return 0;
  std::memcpy(Data, s.c_str(), s.size() + 1);
  return needed;
}

BOOL GetVersionEx(OSVERSIONINFO* Info) {
  if (!Info || Info->dwOSVersionInfoSize != sizeof(OSVERSIONINFO)) return 0;
  Info->dwMajorVersion = 10;
  Info->dwMinorVersion = 0;
  Info->dwBuildNumber = 19045;
  Info->dwPlatformId = VER_PLATFORM_WIN32_NT;
  Info->szCSDVersion[0] = '\0';
  return 1;
}
