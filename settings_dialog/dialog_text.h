// Every caption of the settings window, exactly as the user sees it (UTF-8).
#pragma once

#include <array>
#include <string_view>

namespace velmora::dialog::text {

inline constexpr std::string_view Title = "ヴェルモラの設定";

// Group headers, in the order of the header images 1..8.
inline constexpr std::string_view HeaderOrder = "画像ﾁｪﾝｼﾞ";
inline constexpr std::string_view HeaderSize = "画像のｻｲｽﾞ";
inline constexpr std::string_view HeaderFilterChange = "ﾌｨﾙﾀのﾁｪﾝｼﾞ";
inline constexpr std::string_view HeaderFileName = "画像のﾌｧｲﾙ名";
inline constexpr std::string_view HeaderPreview = "画像のﾌﾟﾚﾋﾞｭｰ";
inline constexpr std::string_view HeaderKinds = "画像の種類";
inline constexpr std::string_view HeaderFilterPreview = "ﾌｨﾙﾀのﾌﾟﾚﾋﾞｭｰ";
inline constexpr std::string_view HeaderMusic = "BGM";

inline constexpr std::array<std::string_view, 2> RdmSeq{"ｼｰｹﾝｼｬﾙ", "ﾗﾝﾀﾞﾑ"};
inline constexpr std::array<std::string_view, 2> Size{"ｵﾘｼﾞﾅﾙ", "ﾌﾙｽｸﾘｰﾝ"};
inline constexpr std::array<std::string_view, 2> Kbn{"一画面で同一ﾌｨﾙﾀ", "一画面でﾗﾝﾀﾞﾑﾌｨﾙﾀ"};
inline constexpr std::array<std::string_view, 3> Bgm{"無し", "音楽CD", "MP3、MAV"};
inline constexpr std::array<std::string_view, 4> Kind{"*.bmp", "*.gif", "*.jpg", "*.wmf"};
inline constexpr std::array<std::string_view, 5> Button{"ﾌｫﾙﾀﾞで指定...", "ｸﾘｱ", "設定", "ｷｬﾝｾﾙ", "ﾌｧｲﾙ名"};

inline constexpr std::string_view CountSuffix = "枚";
inline constexpr std::string_view RepeatLabel = "曲目をﾘﾋﾟｰﾄ";

// The folder browser's prompt.
inline constexpr std::string_view FolderPrompt = "ﾌｫﾙﾀﾞをｸﾘｯｸして選択状態にしてから ＯＫ を押してください";
// The music-file dialog: its one filter entry and its title.
inline constexpr std::string_view MusicFilterName = "BGMﾌｧｲﾙ (MP3 WAV)";
inline constexpr std::string_view MusicPatterns = "*.MP3;*.WAV";
inline constexpr std::string_view MusicTitle = "ﾌｧｲﾙを開く";

// A folder scan that cannot go on: said once, the list keeps what was found.
inline constexpr std::string_view FolderUnreadable = "ﾌｫﾙﾀﾞを読めません。";
inline constexpr std::string_view ScanOutOfMemory = "ﾒﾓﾘが足りないため、ﾌｫﾙﾀﾞの読み込みを中止しました。";

// The size label when the clicked picture does not load; short enough for its 100 pixels.
inline constexpr std::string_view PictureNotLoaded = "読み込めません";

// Shown when the settings file cannot be written; the dialog stays open and the file is as
// it was. The reason follows the file's name.
inline constexpr std::string_view SaveFailed = "設定を保存できませんでした。";
inline constexpr std::string_view FileUnchanged = "設定ﾌｧｲﾙは変更していません。";
inline constexpr std::string_view TooLarge = "設定ﾌｧｲﾙが16MBを超えているため、上書きしません。";
inline constexpr std::string_view Unreadable = "設定ﾌｧｲﾙを読み込めないため、上書きしません。";
inline constexpr std::string_view ReadOnly = "設定ﾌｧｲﾙが読み取り専用のため、上書きしません。";
inline constexpr std::string_view OtherOwner = "設定ﾌｧｲﾙの所有者が別のﾕｰｻﾞｰのため、上書きしません。";
inline constexpr std::string_view FolderClosed = "設定ﾌｧｲﾙのﾌｫﾙﾀﾞに書き込めません。";
inline constexpr std::string_view WriteFailed = "設定ﾌｧｲﾙに書き込めませんでした。";
// A value the file cannot hold: its name, then why.
inline constexpr std::string_view FolderValue = "画像のﾌｫﾙﾀﾞ";
inline constexpr std::string_view MusicValue = "BGMﾌｧｲﾙ";
inline constexpr std::string_view ValueNotSaved = "を保存できません: ";
inline constexpr std::string_view NotInCodePage932 = "ｼﾌﾄJIS (ｺｰﾄﾞﾍﾟｰｼﾞ932) で表せない文字を含んでいます。";
inline constexpr std::string_view NotText = "文字として読めないﾊﾞｲﾄを含んでいます。";
inline constexpr std::string_view TooLong = "255ﾊﾞｲﾄを超えるため長すぎます。";
inline constexpr std::string_view LineBreak = "改行を含んでいます。";
inline constexpr std::string_view EdgeBlankOrQuote = "先頭か末尾の空白、または全体を囲む引用符は保存できません。";
// A save that went to the per-user file because the program's folder cannot be written.
inline constexpr std::string_view SavedPerUser = "ﾌﾟﾛｸﾞﾗﾑのﾌｫﾙﾀﾞに書き込めないため、設定を次の場所に保存しました。";
// After a stored folder or music file that is not there now: its value is kept.
inline constexpr std::string_view Missing = " (見つかりません)";

} // namespace velmora::dialog::text
