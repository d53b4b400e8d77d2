// The resources of Setup as programs see them on the machine: the compiled resource file of setup.rc, its
// string tables through the ANSI interface in each language's code page, the dialog templates, the pictures,
// cursors and icon, Windows' language fallbacks, and malformed resource files refused with the offset.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
#include <functional>
#include <optional>
#include <memory>
#include <string>
#include <vector>

#include "sim/errors.h"
#include "sim/machine.h"
#include "sim/resources.h"
#include "win32api.h"

namespace {

using sim::DialogTemplate;
using sim::ImageDescription;
using sim::ResourceId;
using sim::ResourceSet;

// Window, dialog and control styles, as Windows numbers them.
constexpr DWORD kWsPopup = 0x80000000, kWsChild = 0x40000000, kWsVisible = 0x10000000,
                kWsCaption = 0x00C00000;
constexpr DWORD kWsBorder = 0x00800000, kWsVScroll = 0x00200000, kWsSysMenu = 0x00080000,
                kWsGroup = 0x00020000;
constexpr DWORD kWsTabStop = 0x00010000, kWsExAppWindow = 0x00040000;
constexpr DWORD kDsModalFrame = 0x80, kDsSetFont = 0x40, kDsCenter = 0x800;
constexpr DWORD kSsLeft = 0x0, kSsIcon = 0x3, kSsBitmap = 0xE, kSsNoPrefix = 0x80;
constexpr DWORD kBsPushButton = 0x0, kBsDefPushButton = 0x1, kBsAutoRadioButton = 0x9;
constexpr DWORD kLbsNotify = 0x1, kLbsNoIntegralHeight = 0x100, kLbsNoSel = 0x4000;
constexpr WORD kStaticId = 0xFFFF;  // IDC_STATIC in a plain template's WORD

const LANGID kEnglish = 0x409, kChinese = 0x404, kJapanese = 0x411, kKorean = 0x412;

std::shared_ptr<const ResourceSet> SetupResources() {
    static std::shared_ptr<const ResourceSet> resources = ResourceSet::ParseFile(SETUP_RES_FILE);
    return resources;
}

// The text in a code page, converted by the C library's iconv, to compare the machine's conversion with.
std::string InCodePage(const std::string& utf8, UINT code_page) {
    std::string name = "CP" + std::to_string(code_page);
    iconv_t cd = iconv_open(name.c_str(), "UTF-8");
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << name;
    std::string out(utf8.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t in_left = utf8.size();
    char* out_ptr = out.data();
    size_t out_left = out.size();
    EXPECT_NE(iconv(cd, &in, &in_left, &out_ptr, &out_left), static_cast<size_t>(-1)) << utf8;
    iconv_close(cd);
    out.resize(out.size() - out_left);
    return out;
}

UINT CodePageOf(LANGID language) {
    switch (language) {
        case 0x404:
            return 950;
        case 0x411:
            return 932;
        case 0x412:
            return 949;
    }
    return 1252;
}

// Runs body on a machine in this language, in a process whose image has Setup's resources.
void RunWithSetupResources(LANGID language, UINT code_page, const std::function<void()>& body,
                           const std::string& version = "winxp") {
    sim::Machine machine(version);
    machine.ui_language = language;
    machine.code_page = code_page;
    sim::RunResult result = machine.RunCode([&] {
        sim::CurrentProcess().resources = SetupResources();
        body();
    });
    EXPECT_FALSE(result.deadlocked()) << result.deadlock;
}

HINSTANCE const kImage = reinterpret_cast<HINSTANCE>(0x00400000);

std::string Utf8(const std::u16string& text) {
    return sim::ToUtf8(text);
}

// ---- the compiled file ----

TEST(SetupResources, HoldTheDialogsAndStringsInFourLanguagesAndThePicturesInEnglish) {
    auto resources = SetupResources();
    std::vector<std::string> found;
    for (const sim::Resource& r : resources->all()) {
        char line[64];
        std::snprintf(line, sizeof line, "%s/%s/%04x", r.type.Describe().c_str(), r.name.Describe().c_str(),
                      r.language);
        found.push_back(line);
    }
    // The resource compiler sorts by type, name and language.
    std::vector<std::string> expected = {
        "1/1/0409",   "1/2/0409",   "2/129/0409", "2/131/0409",  "2/132/0409",  "2/133/0409",  "2/134/0409",
        "2/136/0409", "2/137/0409", "2/138/0409", "3/1/0409",    "5/100/0409",  "5/102/0404",  "5/102/0409",
        "5/102/0411", "5/102/0412", "5/132/0404", "5/132/0409",  "5/132/0411",  "5/132/0412",  "6/7/0404",
        "6/7/0409",   "6/7/0411",   "6/7/0412",   "12/130/0409", "12/135/0409", "14/128/0409",
    };
    EXPECT_EQ(found, expected);
}

// ---- strings ----

struct StringCase {
    LANGID language;
    UINT id;
    const char* utf8;
};

const StringCase kStrings[] = {
    {0x409, 101, "&About Setup..."},
    {0x404, 101, "&About Setup..."},
    {0x411, 101, "&About Setup..."},
    {0x412, 101, "&About Setup..."},
    {0x409, 102, "The device driver will be installed now. "},
    {0x404, 102, "現在將要開始安裝音效驅動程式，"},
    {0x411, 102, "これからデバイスドライバがインストールされます。"},
    {0x412, 102, "지금부터 구동 프로그램이 설치됩니다."},
    {0x409, 103, "It will take a few minutes to complete."},
    {0x404, 103, "安裝過程將需要數分鐘的時間。"},
    {0x411, 103, "完了するまでしばらくお待ちください。"},
    {0x412, 103, "완료되기까지 참시 기다려주십시오."},
    {0x409, 104, "Please press [Install] to start ....."},
    {0x404, 104, "請按下【安裝】開始安裝‧‧‧"},
    {0x411, 104, "[ｲﾝｽﾄｰﾙ]をクリックすると開始します ....."},
    {0x412, 104, "[설치]를 누르시면 시작됩니다 ....."},
    {0x409, 105, "Starting installation process..."},
    {0x404, 105, "開始進行安裝程序‧‧‧"},
    {0x411, 105, "インストール開始..."},
    {0x412, 105, "설치 순서 시작..."},
    {0x409, 106, "Copy necessary files..."},
    {0x404, 106, "拷貝驅動程式相關檔案‧‧‧"},
    {0x411, 106, "必要なファイルをコピー中..."},
    {0x412, 106, "필요한 파일 복사중..."},
    {0x409, 107, "Refresh hardware information..."},
    {0x404, 107, "重新整理硬體相關資訊‧‧‧"},
    {0x411, 107, "ハードウェア情報の更新中..."},
    {0x412, 107, "하드웨어 정보 갱신중..."},
    {0x409, 108, "Waiting for audio driver to be ready..."},
    {0x404, 108, "等待系統準備音效環境，請稍候‧‧‧"},
    {0x411, 108, "オーディオドライバの設定中..."},
    {0x412, 108, "오디오 구동 프로그램을 설정하고 있습니다..."},
    {0x409, 109, "Done."},
    {0x404, 109, "完成。"},
    {0x411, 109, "完了しました。"},
    {0x412, 109, "설지 끝."},
};

TEST(SetupResources, StringsInEachLanguageComeInItsCodePage) {
    for (const StringCase& c : kStrings) {
        UINT code_page = CodePageOf(c.language);
        std::string expected = InCodePage(c.utf8, code_page);
        RunWithSetupResources(c.language, code_page, [&] {
            char buffer[256];
            std::memset(buffer, 'x', sizeof buffer);
            int length = LoadStringA(kImage, c.id, buffer, sizeof buffer);
            EXPECT_EQ(length, static_cast<int>(expected.size()))
                << std::hex << c.language << " " << std::dec << c.id;
            EXPECT_EQ(std::string(buffer), expected) << std::hex << c.language << " " << std::dec << c.id;
        });
    }
}

TEST(SetupResources, TheEnglishLineEndsWithOneSpaceAndTheChineseWithThreeHyphenationPoints) {
    RunWithSetupResources(kEnglish, 1252, [] {
        char buffer[256];
        LoadStringA(nullptr, 102, buffer, sizeof buffer);
        EXPECT_EQ(std::string(buffer), "The device driver will be installed now. ");
    });
    RunWithSetupResources(kChinese, 950, [] {
        char buffer[256];
        int length = LoadStringA(kImage, 104, buffer, sizeof buffer);
        ASSERT_GE(length, 6);
        // U+2027 is A1 45 in code page 950.
        EXPECT_EQ(std::string(buffer + length - 6), "\xA1\x45\xA1\x45\xA1\x45");
    });
}

TEST(SetupResources, OtherLanguagesGetEnglish) {
    // German, English (United Kingdom), Chinese (Hong Kong): none has strings of its own or of its primary
    // language, so English it is; a Chinese sub-language is not taken for another.
    for (LANGID language : {LANGID{0x407}, LANGID{0x809}, LANGID{0xC04}}) {
        RunWithSetupResources(language, 1252, [] {
            char buffer[256];
            EXPECT_EQ(LoadStringA(kImage, 109, buffer, sizeof buffer), 5);
            EXPECT_STREQ(buffer, "Done.");
        });
    }
}

TEST(SetupResources, LoadStringCutsAtAWholeCharacterAndReportsMissingStrings) {
    RunWithSetupResources(kJapanese, 932, [] {
        char buffer[10];
        // Nine bytes leave room for four double-byte characters.
        EXPECT_EQ(LoadStringA(kImage, 102, buffer, sizeof buffer), 8);
        EXPECT_EQ(std::string(buffer), InCodePage("これから", 932));
        char one[1] = {'x'};
        EXPECT_EQ(LoadStringA(kImage, 102, one, 1), 0);
        EXPECT_EQ(one[0], '\0');
        char unused[16];
        SetLastError(0);
        EXPECT_EQ(LoadStringA(kImage, 110, unused, sizeof unused), 0);  // in the block, but empty
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
        EXPECT_EQ(LoadStringA(kImage, 5000, unused, sizeof unused), 0);  // no such block
    });
    RunWithSetupResources(kEnglish, 1252, [] {
        char buffer[10];
        EXPECT_EQ(LoadStringA(kImage, 103, buffer, sizeof buffer), 9);
        EXPECT_STREQ(buffer, "It will t");
    });
}

// ---- dialog templates ----

std::optional<DialogTemplate> DialogIn(LANGID language, WORD id) {
    std::optional<DialogTemplate> dialog;
    RunWithSetupResources(language, CodePageOf(language),
                          [&] { dialog = sim::FindDialogTemplate(kImage, MAKEINTRESOURCEA(id)); });
    return dialog;
}

struct MainWindowTexts {
    LANGID language;
    WORD point_size;
    const char* typeface;
    const char* install;
    const char* exit;
    const char* eject;
};

TEST(SetupResources, MainWindowTemplateInEachLanguage) {
    const MainWindowTexts kLanguages[] = {
        {kEnglish, 12, "Times New Roman", "Install", "Exit", "Eject CD"},
        {kChinese, 12, "Times New Roman", "安裝", "離開", "退出光碟"},
        {kJapanese, 10, "MS Sans Serif", "ｲﾝｽﾄｰﾙ", "終了", "CDの取り出し"},
        {kKorean, 10, "MS Sans Serif", "설치", "종료", "CD 꺼내기"},
    };
    for (const MainWindowTexts& l : kLanguages) {
        SCOPED_TRACE(l.typeface + std::string(" ") + std::to_string(l.language));
        std::optional<DialogTemplate> dialog = DialogIn(l.language, 102);
        ASSERT_TRUE(dialog);
        EXPECT_TRUE(dialog->extended);
        EXPECT_EQ(dialog->version, 1);
        EXPECT_EQ(dialog->style, kWsPopup | kWsVisible | kDsCenter | kDsSetFont);
        EXPECT_EQ(dialog->ex_style, kWsExAppWindow);
        EXPECT_EQ(dialog->cx, 427);
        EXPECT_EQ(dialog->cy, 349);
        EXPECT_EQ(dialog->title, u"");
        EXPECT_EQ(dialog->menu, ResourceId::Ordinal(0));
        EXPECT_EQ(dialog->window_class, ResourceId::Ordinal(0));
        EXPECT_TRUE(dialog->has_font);
        EXPECT_EQ(dialog->point_size, l.point_size);
        EXPECT_EQ(Utf8(dialog->typeface), l.typeface);

        struct Item {
            DWORD id;
            const char16_t* class_name;
            DWORD style;
            std::string title;  // "#n" for a resource ordinal
        };
        const DWORD picture = kWsChild | kWsVisible | kSsBitmap;
        const DWORD push = kWsChild | kWsVisible | kWsTabStop;
        const std::vector<Item> expected = {
            {1010, u"Static", picture, "#129"},
            {1012, u"Static", kWsChild | kSsBitmap, "#137"},
            {1009, u"Static", picture, "#134"},
            {1001, u"ListBox",
             kWsChild | kWsVisible | kWsBorder | kWsVScroll | kLbsNotify | kLbsNoIntegralHeight | kLbsNoSel,
             ""},
            {1002, u"Button", push | kBsDefPushButton, l.install},
            {1003, u"Button", push | kBsPushButton, l.exit},
            {1004, u"Button", push | kBsPushButton, l.eject},
            {1011, u"Static", picture, "#136"},
        };
        ASSERT_EQ(dialog->items.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            const sim::DialogItem& item = dialog->items[i];
            SCOPED_TRACE("item " + std::to_string(expected[i].id));
            EXPECT_EQ(item.id, expected[i].id);
            EXPECT_EQ(item.ClassName(), expected[i].class_name);
            EXPECT_EQ(item.style, expected[i].style);
            EXPECT_EQ(item.ex_style, 0u);
            std::string title =
                item.title.is_ordinal() ? "#" + std::to_string(item.title.ordinal) : Utf8(item.title.text);
            EXPECT_EQ(title, expected[i].title);
            EXPECT_TRUE(item.creation_data.empty());
        }
        // The background fills the window from its top-left corner; the buttons stand in a row.
        EXPECT_EQ(dialog->items[0].x, 0);
        EXPECT_EQ(dialog->items[0].y, 0);
        EXPECT_EQ(dialog->items[0].cx, 427);
        EXPECT_EQ(dialog->items[0].cy, 349);
        EXPECT_EQ(dialog->items[4].y, dialog->items[5].y);
        EXPECT_EQ(dialog->items[5].y, dialog->items[6].y);
        EXPECT_LT(dialog->items[4].x, dialog->items[5].x);
        EXPECT_LT(dialog->items[5].x, dialog->items[6].x);
    }
}

TEST(SetupResources, AboutBoxIsAPlainEnglishTemplateForEveryLanguage) {
    for (LANGID language : {kEnglish, kJapanese}) {
        std::optional<DialogTemplate> dialog = DialogIn(language, 100);
        ASSERT_TRUE(dialog);
        EXPECT_FALSE(dialog->extended);
        EXPECT_EQ(dialog->style, kDsModalFrame | kWsPopup | kWsCaption | kWsSysMenu | kDsSetFont);
        EXPECT_EQ(Utf8(dialog->title), "About Setup");
        EXPECT_EQ(dialog->cx, 235);
        EXPECT_EQ(dialog->cy, 55);
        EXPECT_EQ(dialog->point_size, 8);
        EXPECT_EQ(Utf8(dialog->typeface), "MS Sans Serif");
        ASSERT_EQ(dialog->items.size(), 4u);
        const sim::DialogItem& icon = dialog->items[0];
        EXPECT_EQ(icon.ClassName(), u"Static");
        EXPECT_EQ(icon.style & 0x1F, kSsIcon);
        EXPECT_EQ(icon.title, ResourceId::Ordinal(128));
        EXPECT_EQ(icon.x, 11);
        EXPECT_EQ(icon.y, 17);
        for (int line : {1, 2}) {
            const sim::DialogItem& text = dialog->items[line];
            EXPECT_EQ(text.id, kStaticId);
            EXPECT_EQ(text.x, 40);
            EXPECT_EQ(text.y, line == 1 ? 10 : 25);
            EXPECT_EQ(text.cx, 119);
            EXPECT_EQ(text.cy, 8);
            EXPECT_FALSE(text.title.text.empty());
        }
        EXPECT_EQ(dialog->items[1].style & kSsNoPrefix, kSsNoPrefix);
        const sim::DialogItem& ok = dialog->items[3];
        EXPECT_EQ(ok.id, 1u);
        EXPECT_EQ(ok.ClassName(), u"Button");
        EXPECT_EQ(ok.style & 0xF, kBsDefPushButton);
        EXPECT_EQ(Utf8(ok.title.text), "OK");
        EXPECT_EQ(ok.x, 178);
        EXPECT_EQ(ok.y, 7);
        EXPECT_EQ(ok.cx, 50);
        EXPECT_EQ(ok.cy, 14);
    }
}

struct RestartTexts {
    LANGID language;
    WORD point_size;
    const char* typeface;
    const char* caption;
    const char* ok;
    short first_message_height;
    const char* first;
    const char* second;
    const char* yes;
    const char* no;
};

TEST(SetupResources, RestartPromptInEachLanguage) {
    const RestartTexts kLanguages[] = {
        {kEnglish, 10, "Courier New", "Restarting Windows", "OK", 35,
         "The audio driver has been installed into your computer. Before you use the functions of this new "
         "driver, "
         "you must restart Windows or your computer.",
         "Choose one of the following options and click OK to finish setup.",
         "Yes, I want to restart my computer now.", "No, I will restart my computer later."},
        {kChinese, 10, "Courier New", "重新啟動", "確認", 30,
         "音效驅動程式已經安裝到您的電腦中，在您使用新的驅動程式所提供的完整功能之前，您必須重新啟動視窗或您"
         "的電腦。",
         "請選擇下列之一選項，按下【確認】按鈕以完成安裝程序。", "是，我想立即重新啟動我的電腦。",
         "不，我將稍候再重新啟動我的電腦。"},
        {kJapanese, 12, "MS Sans Serif", "Windowsの再起動", "OK", 35,
         "新しいオーディオドライバがお使いのコンピュータにインストールされました。新しいドライバは、Windowsを"
         "再起動した後に有効になります。",
         "下のいずれかを選択し、OKをクリックしてセットアップを終了してください。",
         "はい、今すぐコンピュータを再起動します。", "いいえ、後でコンピュータを再起動します。"},
        {kKorean, 12, "MS Sans Serif", "Windows 재시동", "OK", 35,
         "새로운 오디오 구동 프로그램이 사용중인 컴퓨터에 설치되었습니다. 새로운 구동 프로그램 기능은 "
         "Windows를 다시 "
         "시작한 후에 사용할 수 있게 됩니다.",
         "아래 항목중 하나를 선택한 후 OK를 눌러 설치를 종료하십시오.",
         "네, 지금 바로 컴퓨터를 다시 시동합니다.", "아니요, 나중에 컴퓨터를 디시 시동합니다."},
    };
    for (const RestartTexts& l : kLanguages) {
        SCOPED_TRACE(l.caption);
        std::optional<DialogTemplate> dialog = DialogIn(l.language, 132);
        ASSERT_TRUE(dialog);
        EXPECT_EQ(dialog->style & (kDsModalFrame | kWsPopup | kWsCaption | kWsSysMenu | kDsSetFont),
                  kDsModalFrame | kWsPopup | kWsCaption | kWsSysMenu | kDsSetFont);
        EXPECT_EQ(dialog->cx, 249);
        EXPECT_EQ(dialog->cy, 135);
        EXPECT_EQ(Utf8(dialog->title), l.caption);
        EXPECT_EQ(dialog->point_size, l.point_size);
        EXPECT_EQ(Utf8(dialog->typeface), l.typeface);
        struct Item {
            DWORD id;
            const char16_t* class_name;
            DWORD kind;  // the low four style bits
            short x, y, cx, cy;
            const char* title;
        };
        const Item expected[] = {
            {1, u"Button", kBsDefPushButton, 190, 110, 50, 14, l.ok},
            {kStaticId, u"Static", kSsLeft, 10, 10, 230, l.first_message_height, l.first},
            {kStaticId, u"Static", kSsLeft, 10, 45, 230, 25, l.second},
            {1000, u"Button", kBsAutoRadioButton, 10, 75, 230, 10, l.yes},
            {1001, u"Button", kBsAutoRadioButton, 10, 90, 230, 10, l.no},
        };
        ASSERT_EQ(dialog->items.size(), 5u);
        for (size_t i = 0; i < 5; ++i) {
            const sim::DialogItem& item = dialog->items[i];
            SCOPED_TRACE(i);
            EXPECT_EQ(item.id, expected[i].id);
            EXPECT_EQ(item.ClassName(), expected[i].class_name);
            EXPECT_EQ(item.style & 0xF, expected[i].kind);
            EXPECT_EQ(item.style & (kWsChild | kWsVisible), kWsChild | kWsVisible);
            EXPECT_EQ(item.x, expected[i].x);
            EXPECT_EQ(item.y, expected[i].y);
            EXPECT_EQ(item.cx, expected[i].cx);
            EXPECT_EQ(item.cy, expected[i].cy);
            EXPECT_EQ(Utf8(item.title.text), expected[i].title);
        }
        EXPECT_EQ(dialog->items[0].style & kWsTabStop, kWsTabStop);
        // The two choices form a group of their own.
        EXPECT_EQ(dialog->items[3].style & kWsGroup, kWsGroup);
        EXPECT_EQ(dialog->items[4].style & kWsGroup, 0u);
    }
}

TEST(SetupResources, MissingDialogIsNone) {
    std::optional<DialogTemplate> dialog = DialogIn(kEnglish, 101);
    EXPECT_FALSE(dialog);
}

// ---- pictures, cursors, icon ----

TEST(SetupResources, BitmapsHaveTheirSizesAndEightBitsPerPixelInEveryLanguage) {
    struct Case {
        WORD id;
        int width, height;
    };
    const Case kBitmaps[] = {{129, 640, 480}, {138, 640, 480}, {131, 640, 480}, {132, 250, 175},
                             {133, 250, 175}, {134, 250, 175}, {136, 13, 14},   {137, 134, 34}};
    for (LANGID language : {kEnglish, kKorean}) {
        RunWithSetupResources(language, CodePageOf(language), [&] {
            for (const Case& c : kBitmaps) {
                SCOPED_TRACE(c.id);
                HBITMAP bitmap = LoadBitmapA(kImage, MAKEINTRESOURCEA(c.id));
                ASSERT_NE(bitmap, nullptr);
                ImageDescription picture = sim::DescribeImage(bitmap);
                EXPECT_EQ(picture.kind, ImageDescription::Kind::Bitmap);
                EXPECT_EQ(picture.resource_id(), c.id);
                EXPECT_EQ(picture.width, c.width);
                EXPECT_EQ(picture.height, c.height);
                EXPECT_EQ(picture.bits_per_pixel, 8);
                EXPECT_EQ(picture.language, kEnglish);
                // Each load makes a new bitmap.
                EXPECT_NE(LoadBitmapA(kImage, MAKEINTRESOURCEA(c.id)), bitmap);
            }
            EXPECT_EQ(LoadBitmapA(kImage, MAKEINTRESOURCEA(130)), nullptr);  // a cursor, not a bitmap
        });
    }
    for (const sim::Resource& r : SetupResources()->all()) {
        if (r.type == ResourceId::Ordinal(sim::kResourceBitmap)) {
            EXPECT_EQ(sim::ReadBitmapFormat(r).compression, 0u) << r.name.Describe();  // BI_RGB
        }
    }
}

TEST(SetupResources, CursorsHaveTheirHotSpotsAndTheIconItsSize) {
    RunWithSetupResources(kEnglish, 1252, [] {
        HCURSOR hand = LoadCursorA(kImage, MAKEINTRESOURCEA(130));
        HCURSOR busy = LoadCursorA(kImage, MAKEINTRESOURCEA(135));
        ASSERT_NE(hand, nullptr);
        ASSERT_NE(busy, nullptr);
        EXPECT_EQ(LoadCursorA(kImage, MAKEINTRESOURCEA(130)), hand);  // loaded once, handed out again
        ImageDescription h = sim::DescribeImage(hand);
        EXPECT_EQ(h.kind, ImageDescription::Kind::Cursor);
        EXPECT_FALSE(h.system);
        EXPECT_EQ(h.resource_id(), 130);
        EXPECT_EQ(h.width, 32);
        EXPECT_EQ(h.height, 32);
        EXPECT_EQ(h.bits_per_pixel, 4);
        EXPECT_EQ(h.hot_spot_x, 12);
        EXPECT_EQ(h.hot_spot_y, 1);
        ImageDescription b = sim::DescribeImage(busy);
        EXPECT_EQ(b.resource_id(), 135);
        EXPECT_EQ(b.hot_spot_x, 6);
        EXPECT_EQ(b.hot_spot_y, 7);

        HICON icon = LoadIconA(kImage, MAKEINTRESOURCEA(128));
        ImageDescription i = sim::DescribeImage(icon);
        EXPECT_EQ(i.kind, ImageDescription::Kind::Icon);
        EXPECT_EQ(i.resource_id(), 128);
        EXPECT_EQ(i.width, 32);
        EXPECT_EQ(i.height, 32);
        EXPECT_EQ(i.bits_per_pixel, 4);

        EXPECT_EQ(LoadCursorA(kImage, IDC_ARROW), nullptr);  // the image has no cursor of that number
        EXPECT_EQ(sim::DescribeImage(reinterpret_cast<HANDLE>(0x1234)).kind, ImageDescription::Kind::None);
    });
}

TEST(SetupResources, SystemCursorsAndIconsWithANullInstance) {
    struct Case {
        const char* version;
        bool hand;  // IDC_HAND came with Windows 98 and 2000
    };
    for (const Case& c :
         {Case{"win95", false}, Case{"nt4", false}, Case{"win98", true}, Case{"win2k", true}}) {
        RunWithSetupResources(
            kEnglish, 1252,
            [&] {
                HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
                ImageDescription a = sim::DescribeImage(arrow);
                EXPECT_TRUE(a.system);
                EXPECT_EQ(a.kind, ImageDescription::Kind::Cursor);
                EXPECT_EQ(a.resource_id(), 32512);
                EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), arrow);
                EXPECT_NE(LoadCursorA(nullptr, IDC_WAIT), arrow);
                EXPECT_EQ(LoadCursorA(nullptr, IDC_HAND) != nullptr, c.hand) << c.version;
                HICON application = LoadIconA(nullptr, IDI_APPLICATION);
                EXPECT_EQ(sim::DescribeImage(application).kind, ImageDescription::Kind::Icon);
                EXPECT_TRUE(sim::DescribeImage(application).system);
                EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(128)),
                          nullptr);  // the program's, not the system's
            },
            c.version);
    }
}

TEST(SetupResources, RawResourceFunctions) {
    RunWithSetupResources(kJapanese, 932, [] {
        HRSRC bitmap = FindResourceA(kImage, MAKEINTRESOURCEA(129), RT_BITMAP);
        ASSERT_NE(bitmap, nullptr);
        EXPECT_EQ(FindResourceA(nullptr, "#129", RT_BITMAP), bitmap);
        EXPECT_EQ(SizeofResource(kImage, bitmap), 40u + 256u * 4u + 640u * 480u);
        const BYTE* bits = static_cast<const BYTE*>(LockResource(LoadResource(kImage, bitmap)));
        ASSERT_NE(bits, nullptr);
        EXPECT_EQ(bits[0], 40);  // the BITMAPINFOHEADER; the file header is not kept

        // The Japanese string block, not the English one.
        HRSRC strings = FindResourceA(kImage, MAKEINTRESOURCEA(7), RT_STRING);
        ASSERT_NE(strings, nullptr);
        EXPECT_EQ(reinterpret_cast<const sim::Resource*>(bitmap)->language, kEnglish);
        EXPECT_EQ(reinterpret_cast<const sim::Resource*>(strings)->language, kJapanese);

        SetLastError(0);
        EXPECT_EQ(FindResourceA(kImage, MAKEINTRESOURCEA(999), RT_BITMAP), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
        EXPECT_EQ(FindResourceA(kImage, MAKEINTRESOURCEA(129), RT_RCDATA), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
        EXPECT_EQ(LoadResource(kImage, nullptr), nullptr);
        EXPECT_EQ(SizeofResource(kImage, nullptr), 0u);
    });
}

TEST(SetupResources, AProgramWithoutResourcesFindsNone) {
    sim::Machine machine;
    machine.RunCode([] {
        char buffer[16] = "x";
        SetLastError(0);
        EXPECT_EQ(LoadStringA(kImage, 102, buffer, sizeof buffer), 0);
        EXPECT_EQ(buffer[0], '\0');
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
        EXPECT_EQ(LoadBitmapA(kImage, MAKEINTRESOURCEA(129)), nullptr);
        EXPECT_FALSE(sim::FindDialogTemplate(kImage, MAKEINTRESOURCEA(102)));
    });
}

// The image of a program carries its resources, and the machine reads them when it loads the image.
TEST(SetupResources, TheMachineReadsTheResourcesOfAnImageItLoads) {
    sim::Machine machine;
    machine.ui_language = kKorean;
    machine.code_page = 949;
    sim::Program probe;
    probe.exe_path = "D:\\PROBE.EXE";
    probe.image = sim::ImagePath("ResourceProbe");
    sim::Process& process = machine.Start(probe, "D:\\PROBE.EXE 104");
    machine.Run();
    ASSERT_TRUE(process.ended());
    EXPECT_TRUE(process.crash.empty()) << process.crash;
    ASSERT_EQ(machine.debug_output.size(), 1u);
    EXPECT_EQ(machine.debug_output[0], InCodePage("[설치]를 누르시면 시작됩니다 .....", 949));
    // The bytes the image carries are the compiled file's.
    EXPECT_EQ(process.resources->all().size(), SetupResources()->all().size());
}

// ---- the language fallback, on files made here ----

// A .res record: the header (type and name as ordinals or texts), the data, padding to a DWORD.
struct Record {
    ResourceId type;
    ResourceId name;
    LANGID language;
    std::vector<uint8_t> data;
};

void PutWord(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}
void PutDword(std::vector<uint8_t>& out, uint32_t value) {
    PutWord(out, value & 0xFFFF);
    PutWord(out, value >> 16);
}
void PutId(std::vector<uint8_t>& out, const ResourceId& id) {
    if (id.is_ordinal()) {
        PutWord(out, 0xFFFF);
        PutWord(out, id.ordinal);
        return;
    }
    for (char16_t c : id.text) PutWord(out, c);
    PutWord(out, 0);
}

std::vector<uint8_t> ResFile(const std::vector<Record>& records) {
    std::vector<uint8_t> out;
    std::vector<Record> all = {{ResourceId::Ordinal(0), ResourceId::Ordinal(0), 0, {}}};
    all.insert(all.end(), records.begin(), records.end());
    for (const Record& r : all) {
        std::vector<uint8_t> names;
        PutId(names, r.type);
        PutId(names, r.name);
        if (names.size() % 4) PutWord(names, 0);
        PutDword(out, static_cast<uint32_t>(r.data.size()));
        PutDword(out, static_cast<uint32_t>(8 + names.size() + 16));
        out.insert(out.end(), names.begin(), names.end());
        PutDword(out, 0);      // DataVersion
        PutWord(out, 0x1030);  // MemoryFlags
        PutWord(out, r.language);
        PutDword(out, 0);  // Version
        PutDword(out, 0);  // Characteristics
        out.insert(out.end(), r.data.begin(), r.data.end());
        while (out.size() % 4) out.push_back(0);
    }
    return out;
}

std::shared_ptr<const ResourceSet> ParseBytes(const std::vector<uint8_t>& bytes) {
    return ResourceSet::Parse(bytes.data(), bytes.size(), "test.res");
}

TEST(ResourceLanguages, WindowsOrderOfFallbacks) {
    struct Case {
        std::vector<LANGID> offered;
        LANGID ui_language;
        LANGID chosen;
    };
    const Case kCases[] = {
        {{0x409, 0x411}, 0x411, 0x411},  // the language itself
        {{0x409, 0x011}, 0x411, 0x011},  // its primary language, neutral
        {{0x409, 0x000}, 0x411, 0x000},  // language-neutral before English
        {{0x40C, 0x409}, 0x411, 0x409},  // English
        {{0x40C, 0x009}, 0x411, 0x009},  // neutral English
        {{0x809, 0x409}, 0x809, 0x809},  // an English of its own
        {{0x40C, 0x407}, 0x411, 0x40C},  // any: the first there is
        {{0x404}, 0xC04, 0x404},         // any, also for a sister language
    };
    for (const Case& c : kCases) {
        std::vector<Record> records;
        for (LANGID l : c.offered)
            records.push_back({ResourceId::Ordinal(10), ResourceId::Text(u"data"), l, {1}});
        auto set = ParseBytes(ResFile(records));
        const sim::Resource* found =
            set->FindBest(ResourceId::Ordinal(10), ResourceId::Text(u"DATA"), c.ui_language);
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->language, c.chosen) << std::hex << c.ui_language;
    }
}

TEST(ResourceLanguages, NamesAreFoundWithoutRegardToCaseAndAsHashNumbers) {
    auto bytes = ResFile({{ResourceId::Text(u"Wave"), ResourceId::Text(u"start"), 0x409, {1, 2, 3}},
                          {ResourceId::Ordinal(10), ResourceId::Ordinal(42), 0x409, {4, 5}}});
    auto set = ParseBytes(bytes);
    sim::Machine machine;
    machine.RunCode([&] {
        sim::CurrentProcess().resources = set;
        HRSRC wave = FindResourceA(nullptr, "START", "wave");
        ASSERT_NE(wave, nullptr);
        EXPECT_EQ(SizeofResource(nullptr, wave), 3u);
        EXPECT_EQ(FindResourceA(nullptr, "#42", "#10"),
                  FindResourceA(nullptr, MAKEINTRESOURCEA(42), RT_RCDATA));
        EXPECT_NE(FindResourceA(nullptr, "#42", "#10"), nullptr);
        EXPECT_EQ(FindResourceA(nullptr, "#4x2", "#10"), nullptr);
    });
}

// ---- malformed files ----

TEST(ResourceFile, MalformedFilesAreRefusedWithTheOffset) {
    std::vector<uint8_t> good =
        ResFile({{ResourceId::Ordinal(10), ResourceId::Ordinal(1), 0x409, {1, 2, 3, 4}}});
    ASSERT_EQ(good.size(), 32u + 32u + 4u);
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> spoil;
        const char* message;  // a part of the message
    };
    const Case kCases[] = {
        {"cut in the second header", [](std::vector<uint8_t>& b) { b.resize(40); }, "at offset 32 (0x20)"},
        {"data past the end", [](std::vector<uint8_t>& b) { b[32] = 200; },
         "at offset 64 (0x40): the resource data"},
        {"header size not a multiple of four", [](std::vector<uint8_t>& b) { b[36] = 30; }, "at offset 32"},
        {"header size too small", [](std::vector<uint8_t>& b) { b[36] = 8; }, "a resource header of 8 bytes"},
        {"header size past the end", [](std::vector<uint8_t>& b) { b[36] = 200; }, "at offset 32"},
        {"a type text without its NUL",
         [](std::vector<uint8_t>& b) {
             for (size_t i = 40; i < 64; ++i) b[i] = 'A';
         },
         "at offset 32"},
    };
    for (const Case& c : kCases) {
        std::vector<uint8_t> bytes = good;
        c.spoil(bytes);
        try {
            ResourceSet::Parse(bytes.data(), bytes.size(), "SETUP.EXE.so");
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const sim::InputError& e) {
            std::string message = e.what();
            EXPECT_EQ(message.rfind("SETUP.EXE.so: ", 0), 0u) << c.what << ": " << message;
            EXPECT_NE(message.find(c.message), std::string::npos) << c.what << ": " << message;
        }
    }
    EXPECT_NO_THROW(ParseBytes(good));
}

TEST(ResourceFile, AFileThatIsNotThereIsAnInputError) {
    EXPECT_THROW(ResourceSet::ParseFile("/nonexistent/setup.res"), sim::InputError);
}

// ---- dialog templates made here ----

std::vector<uint8_t> ExtendedTemplate(WORD item_count, bool with_items) {
    std::vector<uint8_t> t;
    PutWord(t, 1);
    PutWord(t, 0xFFFF);
    PutDword(t, 77);          // help id
    PutDword(t, 0x00000008);  // WS_EX_TOPMOST
    PutDword(t, kWsPopup | kDsSetFont);
    PutWord(t, item_count);
    for (int v : {5, 6, 100, 50}) PutWord(t, static_cast<uint16_t>(v));
    PutWord(t, 0xFFFF);  // menu 300
    PutWord(t, 300);
    for (char16_t c : std::u16string(u"MyClass")) PutWord(t, c);
    PutWord(t, 0);
    for (char16_t c : std::u16string(u"Title")) PutWord(t, c);
    PutWord(t, 0);
    PutWord(t, 9);     // point size
    PutWord(t, 700);   // weight
    t.push_back(1);    // italic
    t.push_back(128);  // charset
    for (char16_t c : std::u16string(u"Tahoma")) PutWord(t, c);
    PutWord(t, 0);
    if (!with_items) return t;
    while (t.size() % 4) t.push_back(0);
    PutDword(t, 5);  // help id
    PutDword(t, 0);
    PutDword(t, kWsChild | kWsVisible);
    for (int v : {1, 2, 30, 40}) PutWord(t, static_cast<uint16_t>(v));
    PutDword(t, 70000);  // an id past a WORD
    for (char16_t c : std::u16string(u"msctls_progress32")) PutWord(t, c);
    PutWord(t, 0);
    PutWord(t, 0xFFFF);  // a resource as title
    PutWord(t, 129);
    PutWord(t, 3);  // three bytes of creation data
    t.insert(t.end(), {9, 8, 7});
    return t;
}

TEST(DialogTemplates, ExtendedTemplateWithEveryKindOfMember) {
    std::vector<uint8_t> bytes = ExtendedTemplate(1, true);
    DialogTemplate d = sim::ParseDialogTemplate(bytes.data(), bytes.size(), "test dialog");
    EXPECT_TRUE(d.extended);
    EXPECT_EQ(d.help_id, 77u);
    EXPECT_EQ(d.ex_style, 8u);
    EXPECT_EQ(d.x, 5);
    EXPECT_EQ(d.cy, 50);
    EXPECT_EQ(d.menu, ResourceId::Ordinal(300));
    EXPECT_EQ(d.window_class.text, u"MyClass");  // a dialog keeps its names as written
    EXPECT_EQ(d.title, u"Title");
    EXPECT_EQ(d.point_size, 9);
    EXPECT_EQ(d.weight, 700);
    EXPECT_TRUE(d.italic);
    EXPECT_EQ(d.charset, 128);
    EXPECT_EQ(d.typeface, u"Tahoma");
    ASSERT_EQ(d.items.size(), 1u);
    const sim::DialogItem& item = d.items[0];
    EXPECT_EQ(item.help_id, 5u);
    EXPECT_EQ(item.id, 70000u);
    EXPECT_EQ(item.cy, 40);
    EXPECT_EQ(item.ClassName(), u"msctls_progress32");
    EXPECT_EQ(item.ClassAtom(), 0);
    EXPECT_EQ(item.title, ResourceId::Ordinal(129));
    EXPECT_EQ(item.creation_data, (std::vector<uint8_t>{9, 8, 7}));
}

TEST(DialogTemplates, PlainTemplateWithoutFontAndWithCreationData) {
    std::vector<uint8_t> t;
    PutDword(t, kWsPopup);  // no DS_SETFONT: no font members
    PutDword(t, 0);
    PutWord(t, 1);
    for (int v : {0, 0, 80, 20}) PutWord(t, static_cast<uint16_t>(v));
    PutWord(t, 0);  // no menu
    PutWord(t, 0);  // the dialog class
    PutWord(t, 0);  // no title
    while (t.size() % 4) t.push_back(0);
    PutDword(t, kWsChild | 0x1);
    PutDword(t, 0);
    for (int v : {-3, 4, 10, 12}) PutWord(t, static_cast<uint16_t>(v));
    PutWord(t, 0xFFFF);  // IDC_STATIC
    PutWord(t, 0xFFFF);
    PutWord(t, 0x0081);  // Edit
    PutWord(t, 'h');
    PutWord(t, 0);
    PutWord(t, 4);  // the size with its own WORD: two bytes follow
    t.insert(t.end(), {0xAA, 0xBB});
    DialogTemplate d = sim::ParseDialogTemplate(t.data(), t.size(), "test dialog");
    EXPECT_FALSE(d.extended);
    EXPECT_FALSE(d.has_font);
    EXPECT_EQ(d.title, u"");
    ASSERT_EQ(d.items.size(), 1u);
    EXPECT_EQ(d.items[0].x, -3);
    EXPECT_EQ(d.items[0].id, 0xFFFFu);
    EXPECT_EQ(d.items[0].ClassName(), u"Edit");
    EXPECT_EQ(d.items[0].ClassAtom(), 0x0081);
    EXPECT_EQ(d.items[0].title, ResourceId::AsWritten(u"h"));
    EXPECT_EQ(d.items[0].creation_data, (std::vector<uint8_t>{0xAA, 0xBB}));
}

TEST(DialogTemplates, MalformedTemplatesAreRefusedWithTheOffset) {
    std::vector<uint8_t> missing_item = ExtendedTemplate(2, true);  // says two items, has one
    std::vector<uint8_t> cut_font = ExtendedTemplate(0, false);
    cut_font.resize(cut_font.size() - 4);  // the typeface loses its NUL
    std::vector<uint8_t> version_two = ExtendedTemplate(0, false);
    version_two[0] = 2;
    struct Case {
        const char* what;
        const std::vector<uint8_t>* bytes;
        const char* message;
    };
    const Case kCases[] = {
        {"a missing item", &missing_item, "item 2 of 2 is missing"},
        {"a typeface without its NUL", &cut_font, "the typeface has no terminating NUL"},
        {"version 2", &version_two, "at offset 0 (0x0): an extended template of version 2"},
    };
    for (const Case& c : kCases) {
        try {
            sim::ParseDialogTemplate(c.bytes->data(), c.bytes->size(), "SETUP.EXE.so dialog 102");
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const sim::InputError& e) {
            std::string message = e.what();
            EXPECT_EQ(message.rfind("SETUP.EXE.so dialog 102: at offset ", 0), 0u) << message;
            EXPECT_NE(message.find(c.message), std::string::npos) << c.what << ": " << message;
        }
    }
}

// ---- text ----

TEST(CodePages, CharactersACodePageLacksBecomeQuestionMarks) {
    struct Case {
        const char* utf8;
        UINT code_page;
        const char* expected;
    };
    const Case kCases[] = {
        {"Done.", 1252, "Done."},       {"café", 1252, "caf\xE9"},         {"설치", 1252, "??"},
        {"설치 OK", 932, "?? OK"},      {"安裝", 949, "\xE4\xCC\xED\xFB"},  // hanja in the Korean code page
        {"‧", 950, "\xA1\x45"},         {"ｲﾝ", 932, "\xB2\xDD"},  // half-width katakana: one byte each
        {"\xF0\x9F\x8E\xB5", 932, "?"},  // outside the basic plane: one character, one '?'
    };
    for (const Case& c : kCases) {
        EXPECT_EQ(sim::ToAnsi(sim::FromUtf8(c.utf8), c.code_page), c.expected)
            << c.utf8 << " " << c.code_page;
    }
    EXPECT_EQ(sim::ToUtf8(sim::FromAnsi("\x82\xA0\x82\xA2", 932)), "あい");
    EXPECT_EQ(sim::ToUtf8(sim::FromAnsi("a\x81", 932)), "a?");  // a lead byte without its trail byte
    EXPECT_THROW(sim::ToAnsi(u"x", 437), std::invalid_argument);
}

}  // namespace
