#include <gtest/gtest.h>
#include "support/StoreFiles.h"
#include <string.h>
#include "text/ArticleConverter.h"

namespace {

const std::string kUtf8Nihongo = "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e";

struct Recorder : ConvertedLines {
    std::vector<std::string> header, body;
    BOOL HeaderLine(char* line, BOOL continuation) override
    {
        EXPECT_LT(strlen(line), (size_t)kConvertedLineSize - 2);
        EXPECT_TRUE(body.empty()) << "a header line after the body began";
        header.push_back((continuation ? "+" : "") + std::string(line));
        return TRUE;
    }
    BOOL BodyLine(char* line) override
    {
        EXPECT_LT(strlen(line), (size_t)kConvertedLineSize - 2);
        body.push_back(line);
        return TRUE;
    }
};

// A header line and whether the article keeps it.
typedef std::pair<const char*, bool> Kept;

// One article through a converter: header lines (kept or not), then body.
Recorder Convert(BOOL mime, const std::vector<Kept>& header, const std::vector<std::string>& body)
{
    static ArticleConverter converter;   // large; kept off the stack
    converter.Construct(mime);
    converter.BeginArticle();
    Recorder lines;
    for (const Kept& line : header)
        EXPECT_TRUE(converter.PutHeaderLine(line.first, line.second, &lines));
    EXPECT_TRUE(converter.EndHeader(&lines));
    for (const std::string& line : body)
        EXPECT_TRUE(converter.PutBodyLine(line.c_str(), &lines));
    EXPECT_TRUE(converter.EndBody(&lines));
    return lines;
}

typedef std::vector<std::string> Lines;

// The stored body lines of a body of this type and encoding.
Lines Body(const std::string& type, const std::string& encoding, const std::vector<std::string>& body)
{
    std::string typeLine = "Content-Type: " + type, encodingLine = "Content-Transfer-Encoding: " + encoding;
    return Convert(TRUE, {{typeLine.c_str(), false}, {encodingLine.c_str(), false}}, body).body;
}

}  // namespace

TEST(ArticleConverter, HeaderLinesOffAsJisWithTheirFoldsOnUnfoldedInTheirCharset)
{
    Recorder r = Convert(FALSE,
                         {{"Subject: =?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?=", true}, {" =?UTF-8?B?5pel?=", true},
                          {"X-Face: x", false}, {"Content-Type: text/plain; charset=UTF-8", false}},
                         {kUtf8Nihongo, "=E6=97", "\x1b$BF|\x1b(B"});
    EXPECT_EQ(Lines({"Subject: " + kSjisNihongo, "+ =?UTF-8?B?5pel?="}), r.header);
    EXPECT_EQ(Lines({kUtf8Nihongo, "=E6=97", kSjisNihongo.substr(0, 2)}), r.body);

    // With conversion on, header fields wait for the Content-Type and are unfolded.
    r = Convert(TRUE,
                {{"From: \xe6\x97\xa5 <a@b>", true},
                 {"Subject: =?UTF-8?B?5pel?=", true}, {"\t=?UTF-8?B?5pys?=", true}, {" tail", true},
                 {"References: <1@x>", true}, {" <2@x>", true},
                 {"X-Newsreader: y", false}, {" =?UTF-8?B?5pel?=", false},
                 {"Content-Type: text/plain;", false}, {" charset=\"utf-8\"", false}},
                {});
    EXPECT_EQ(Lines({"From: " + kSjisNihongo.substr(0, 2) + " <a@b>",
                     "Subject: " + kSjisNihongo.substr(0, 4) + " tail", "References: <1@x> <2@x>"}),
              r.header);

    // An encoded-word broken across a fold is joined; a long folded field is cut to a stored line.
    r = Convert(TRUE, {{"Subject: =?UTF-8?B?5pel", true}, {" 5pys6Kqe?= !", true}}, {});
    EXPECT_EQ(Lines({"Subject: " + kSjisNihongo + " !"}), r.header);
    std::string ids(1000, 'x');
    std::string first = "References: " + ids, fold = " " + ids;
    r = Convert(TRUE, {{first.c_str(), true}, {fold.c_str(), true}, {fold.c_str(), true}}, {});
    ASSERT_EQ(1u, r.header.size());
    EXPECT_EQ((first + fold).substr(0, kConvertedLineSize - 3), r.header[0]);
}

// Quoted-printable soft-broken into lines of 73 characters.
std::vector<std::string> SoftLines(const std::string& encoded)
{
    std::vector<std::string> soft;
    for (size_t at = 0; at < encoded.size(); at += 72)
        soft.push_back(encoded.substr(at, 72) + (at + 72 < encoded.size() ? "=" : ""));
    return soft;
}

TEST(ArticleConverter, BodiesByTransferEncodingAndCharsetWhatWeCannotReadAndLongLinesInPiecesAtCharacterBoundaries)
{
    EXPECT_EQ(Lines({kSjisNihongo, "", "a"}), Body("text/plain; charset=UTF-8", "8bit", {kUtf8Nihongo, "", "a"}));
    // Quoted-printable: a soft break inside a character, "=0D=0A" inside a line and at its end.
    EXPECT_EQ(Lines({kSjisNihongo + "x", "y", "z", "w"}),
              Body("text/plain; charset=utf-8", "quoted-printable", {"=E6=97=A5=E6=", "=9C=AC=E8=AA=9Ex=0D=0Ay  ", "z=0D=0A", "w"}));
    // Labels written in the other ways the standards allow, and aliases.
    for (const char* type : {"text/plain; charset=\"UTF-8\"(comment)", "text/plain; charset=utf-8(a (nested) one)",
                             "text/plain (c); charset*=utf-8''", "text/plain; charset*=us-ascii'en'utf-8",
                             "text/plain; charset=utf8"})
        EXPECT_EQ(Lines({kSjisNihongo}), Body(type, "8bit", {kUtf8Nihongo})) << type;
    // Base64 across lines, text lines not where the encoded lines end, no final line end.
    EXPECT_EQ(Lines({kSjisNihongo, "ab", "c"}), Body("text/plain; charset=UTF-8", "BASE64", {"5pel5p", "ys6Kqe", "CmFiDQpj"}));
    // A broken last group: the whole bytes it has.
    EXPECT_EQ(Lines({"ab"}), Body("text/plain; charset=UTF-8", "base64", {"YWJ"}));
    // ISO-2022-JP in base64 is decoded, then read as JIS.
    EXPECT_EQ(Lines({kSjisNihongo}), Body("text/plain; charset=ISO-2022-JP", "base64", {"GyRCRnxLXDhsGyhC"}));

    // What we cannot read comes as it came.
    EXPECT_EQ(Lines({"=E6=97=A5", "\xa4\xa4"}), Body("text/plain; charset=big5", "quoted-printable", {"=E6=97=A5", "\xa4\xa4"}));
    EXPECT_EQ(Lines({"5pel"}), Body("application/octet-stream", "base64", {"5pel"}));
    EXPECT_EQ(Lines({"5pel"}), Body("text/plain; charset=utf-8", "x-uuencode", {"5pel"}));
    EXPECT_EQ(Lines({kSjisNihongo}), Body("text/plain", "7bit", {"\x1b$BF|K\\8l\x1b(B"}));
    // Escape sequences in 7-bit text are ISO-2022-JP whatever the label.
    EXPECT_EQ(Lines({kSjisNihongo}), Body("text/plain; charset=US-ASCII", "7bit", {"\x1b$BF|K\\8l\x1b(B"}));

    // Long lines are stored in pieces at character boundaries: UTF-8 and ISO-2022-JP lines of 3,006 and
    // 1,206 bytes (2,004 and 1,200 in Shift_JIS); ISO-2022-JP keeps its mode from piece to piece.
    std::string utf8, jis, sjis2004, sjis1200;
    for (int i = 0; i < 334; ++i) {
        utf8 += "=E6=97=A5=E6=9C=AC=E8=AA=9E";
        sjis2004 += kSjisNihongo;
        if (i < 200) {
            jis += "F|K\\8l";
            sjis1200 += kSjisNihongo;
        }
    }
    std::string raw = "a\r" + std::string(1020, 'x'), latin(1000, '\xa3'), pound, base64;
    for (int i = 0; i < 1000; ++i)
        pound += "\x81\x92";
    for (int i = 0; i < 40 * 19; ++i)
        base64 += "A\x04\x10";   // what "QQQQ" stands for
    struct { const char* type; const char* encoding; std::vector<std::string> lines; std::string stored; } rows[] = {
        {"text/plain; charset=UTF-8", "quoted-printable", SoftLines(utf8), sjis2004},
        {"text/plain; charset=iso-2022-jp", "quoted-printable", SoftLines("=1B$B" + jis + "=1B(B"), sjis1200},
        {"text/plain; charset=iso-8859-1", "8bit", {latin}, pound},
        {"text/plain; charset=us-ascii", "base64", std::vector<std::string>(40, std::string(76, 'Q')), base64},
        {"text/plain", "7bit", {raw}, raw}};   // a bare CR: one line, as it came
    for (const auto& row : rows) {
        Lines pieces = Body(row.type, row.encoding, row.lines);
        std::string joined;
        for (const std::string& piece : pieces) {
            EXPECT_TRUE((unsigned char)row.stored[0] < 0x80 || piece.size() % 2 == 0) << row.type;
            joined += piece;
        }
        EXPECT_GE(pieces.size(), 2u) << row.type;
        EXPECT_TRUE(row.stored == joined) << row.type << ": " << joined.size() << " bytes";
    }
}

TEST(ArticleConverter, MultipartTextPartsByTheirOwnHeaders)
{
    // One line a part: the text parts are lines 5 and 13.
    Lines body = {"preamble",
                  "--=-b 1", "Content-Type: text/plain; charset=UTF-8", "Content-Transfer-Encoding: base64", "", "5pel5pys6Kqe",
                  "--=-b 1", "Content-Type: multipart/alternative; boundary=inner", "",
                  "--inner", "Content-Type: text/plain; charset=utf-8", "Content-Transfer-Encoding: quoted-printable", "",
                  "=E6=97=A5=", "--inner--",
                  "--=-b 1", "Content-Type: image/png", "Content-Transfer-Encoding: base64", "", "5pel",
                  "--=-b 1--", "epilogue"};
    Recorder r = Convert(TRUE,
                         {{"Subject: x", true}, {"Content-Type: multipart/mixed;", false}, {" boundary=\"=-b 1\"", false}},
                         body);
    // Only the two text parts' lines change.
    body[5] = kSjisNihongo;
    body[13] = kSjisNihongo.substr(0, 2);
    EXPECT_EQ(body, r.body);

    // Raw 8-bit header text: UTF-8 when it is, else in the charset of the first text part, else as it came.
    const std::string euc = "\xc6\xfc\xcb\xdc\xb8\xec";
    for (const Lines& raw : {Lines{kUtf8Nihongo, "image/png", kSjisNihongo}, Lines{euc, "text/plain; charset=euc-jp", kSjisNihongo},
                             Lines{euc, "text/plain; charset=big5", euc}, Lines{euc, "image/png", euc}}) {
        std::string subject = "Subject: " + raw[0];
        Lines parts = {"pre", "--b", "Content-Type: multipart/alternative; boundary=c", "", "--c",
                       "Content-Type: " + raw[1], "", "x", "--c--", "--b--"};
        r = Convert(TRUE, {{subject.c_str(), true}, {"Content-Type: multipart/mixed; boundary=b", false}}, parts);
        EXPECT_EQ(Lines({"Subject: " + raw[2]}), r.header) << raw[1];
        EXPECT_EQ(parts, r.body);
    }
}
