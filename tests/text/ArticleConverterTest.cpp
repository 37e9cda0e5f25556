#include <gtest/gtest.h>
#include "support/StoreFiles.h"
#include <string>
#include <vector>
#include <string.h>
#include "text/ArticleConverter.h"

namespace {

const std::string kUtf8Nihongo = "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e";

struct Recorder : ConvertedLines {
    std::vector<std::string> header, body;
    BOOL HeaderLine(char* line, BOOL continuation) override
    {
        EXPECT_LT(strlen(line), (size_t)kConvertedLineSize - 2);
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
                         {{"Subject: =?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?=", true},
                          {" =?UTF-8?B?5pel?=", true},
                          {"X-Face: x", false},
                          {"Content-Type: text/plain; charset=UTF-8", false}},
                         {kUtf8Nihongo, "=E6=97", "\x1b$BF|\x1b(B"});
    EXPECT_EQ(Lines({"Subject: " + kSjisNihongo, "+ =?UTF-8?B?5pel?="}), r.header);
    EXPECT_EQ(Lines({kUtf8Nihongo, "=E6=97", kSjisNihongo.substr(0, 2)}), r.body);

    // With conversion on, header fields wait for the Content-Type and are
    // unfolded.
    r = Convert(TRUE,
                {{"From: \xe6\x97\xa5 <a@b>", true},
                 {"Subject: =?UTF-8?B?5pel?=", true},
                 {"\t=?UTF-8?B?5pys?=", true},
                 {" tail", true},
                 {"References: <1@x>", true},
                 {" <2@x>", true},
                 {"X-Newsreader: y", false},
                 {" =?UTF-8?B?5pel?=", false},
                 {"Content-Type: text/plain;", false},
                 {" charset=\"utf-8\"", false}},
                {});
    EXPECT_EQ(Lines({"From: " + kSjisNihongo.substr(0, 2) + " <a@b>",
                     "Subject: " + kSjisNihongo.substr(0, 4) + " tail", "References: <1@x> <2@x>"}),
              r.header);

    // An encoded-word broken across a fold is joined; a long folded field
    // is cut to a stored line.
    r = Convert(TRUE, {{"Subject: =?UTF-8?B?5pel", true}, {" 5pys6Kqe?= !", true}}, {});
    EXPECT_EQ(Lines({"Subject: " + kSjisNihongo + " !"}), r.header);
    std::string ids(1000, 'x');
    std::string first = "References: " + ids, fold = " " + ids;
    r = Convert(TRUE, {{first.c_str(), true}, {fold.c_str(), true}, {fold.c_str(), true}}, {});
    ASSERT_EQ(1u, r.header.size());
    EXPECT_EQ((first + fold).substr(0, kConvertedLineSize - 3), r.header[0]);
}

TEST(ArticleConverter, BodiesByTransferEncodingAndCharsetAndWhatWeCannotRead)
{
    EXPECT_EQ(Lines({kSjisNihongo, "", "a"}), Body("text/plain; charset=UTF-8", "8bit", {kUtf8Nihongo, "", "a"}));
    // Quoted-printable: a soft break inside a character, "=0D=0A" inside a line.
    EXPECT_EQ(Lines({kSjisNihongo + "x", "y"}),
              Body("text/plain; charset=utf-8", "quoted-printable", {"=E6=97=A5=E6=", "=9C=AC=E8=AA=9Ex=0D=0Ay  "}));
    // Base64 across lines, text lines not where the encoded lines end, no
    // final line end.
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
}

TEST(ArticleConverter, LongLinesAreStoredInPiecesAtCharacterBoundaries)
{
    // A UTF-8 line of 3,006 bytes (2,004 in Shift_JIS), quoted-printable in
    // soft-broken lines of 73 characters.
    std::string encoded;
    for (int i = 0; i < 334; ++i)
        encoded += "=E6=97=A5=E6=9C=AC=E8=AA=9E";
    std::vector<std::string> soft;
    for (size_t at = 0; at < encoded.size(); at += 72)
        soft.push_back(encoded.substr(at, 72) + (at + 72 < encoded.size() ? "=" : ""));
    // The pieces join up to the whole line, each cut between characters.
    Lines pieces = Body("text/plain; charset=UTF-8", "quoted-printable", soft);
    ASSERT_GE(pieces.size(), 2u);
    std::string whole, joined;
    for (size_t i = 0; i < 334; ++i)
        whole += kSjisNihongo;
    for (const std::string& piece : pieces) {
        EXPECT_EQ(0u, piece.size() % 2);
        joined += piece;
    }
    EXPECT_EQ(whole, joined);
    // Latin-1 doubles; base64 without any line end at all.
    Lines latin = Body("text/plain; charset=iso-8859-1", "8bit", {std::string(1000, '\xa3')});
    ASSERT_EQ(2u, latin.size());
    EXPECT_EQ(2000u, latin[0].size() + latin[1].size());
    std::vector<std::string> unbroken(40, std::string(76, 'Q'));   // 40 x 57 bytes of "A..."
    size_t total = 0;
    for (const std::string& piece : Body("text/plain; charset=us-ascii", "base64", unbroken))
        total += piece.size();
    EXPECT_EQ(40u * 57, total);
}

TEST(ArticleConverter, MultipartTextPartsByTheirOwnHeaders)
{
    Lines body = {"preamble",
                  "--=-b 1",
                  "Content-Type: text/plain; charset=UTF-8",
                  "Content-Transfer-Encoding: base64",
                  "",
                  "5pel5pys6Kqe",
                  "--=-b 1",
                  "Content-Type: multipart/alternative; boundary=inner",
                  "",
                  "--inner",
                  "Content-Type: text/plain; charset=utf-8",
                  "Content-Transfer-Encoding: quoted-printable",
                  "",
                  "=E6=97=A5=",
                  "--inner--",
                  "--=-b 1",
                  "Content-Type: image/png",
                  "Content-Transfer-Encoding: base64",
                  "",
                  "5pel",
                  "--=-b 1--",
                  "epilogue"};
    Recorder r = Convert(TRUE,
                         {{"Subject: x", true}, {"Content-Type: multipart/mixed;", false}, {" boundary=\"=-b 1\"", false}},
                         body);
    // Only the two text parts' lines change.
    body[5] = kSjisNihongo;
    body[13] = kSjisNihongo.substr(0, 2);
    EXPECT_EQ(body, r.body);
}
