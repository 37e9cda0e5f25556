#include <gtest/gtest.h>
#include <string>
#include "text/DraftText.h"
#include "text/FollowUp.h"
#include "text/JisEncoder.h"
#include "text/MimeWords.h"
#include "text/PostComposer.h"

namespace {

const Poster kPoster = {"\x8eR\x93" "c", "yamada@example.jp", NULL};   // "山田"
const std::string kNihongo = "\x93\xfa\x96{\x8c\xea\x82\xcc\x83" "e\x83X\x83g";   // "日本語のテスト"

// The whole article as it goes out, or "fault <kind> <field> <line> <character>".
std::string Compose(const std::string& draft, const Poster& poster = kPoster)
{
    PostComposer composer;
    composer.Begin(draft.data(), draft.size(), poster);
    std::string wire;
    char line[kComposedLineSize];
    for (size_t got; (got = composer.Next(line)) != 0;) {
        if (got == (size_t)-1) {
            const PostFault& f = composer.Fault();
            return "fault " + std::to_string(f.kind) + " " + (f.field ? f.field : "-") + " " +
                   std::to_string(f.line) + " " + f.character;
        }
        wire.append(line, got);
    }
    return wire;
}

}  // namespace

TEST(PostComposer, ArticleOnTheWireWithEncodedWordsJisBodyDotStuffingAndNoDate)
{
    std::string draft = "Newsgroups: fj.test\r\nSubject: Re: " + kNihongo +
                        "\r\nMessage-ID: <1@example.jp>\r\nReferences: <a@x> <b@y>\r\n"
                        "X-Pelora-State: queued\r\n\r\n\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd\x81@\xb6\xde\r\n.dot\r\n\r\nend";
    EXPECT_EQ("From: =?ISO-2022-JP?B?GyRCOzNFRBsoQg==?= <yamada@example.jp>\r\n"
              "Newsgroups: fj.test\r\n"
              "Subject: Re: =?ISO-2022-JP?B?GyRCRnxLXDhsJE4lRiU5JUgbKEI=?=\r\n"
              "Message-ID: <1@example.jp>\r\n"
              "References: <a@x> <b@y>\r\n"
              "MIME-Version: 1.0\r\n"
              "Content-Type: text/plain; charset=ISO-2022-JP\r\n"
              "Content-Transfer-Encoding: 7bit\r\n"
              "User-Agent: Pelora/1.1\r\n"
              "\r\n"
              "\x1b$B$3$s$K$A$O!!%,\x1b(B\r\n"   // half-width "ｶﾞ" as one full-width "ガ"
              "..dot\r\n\r\nend\r\n.\r\n",
              Compose(draft));

    // ASCII names with specials are quoted; an organisation goes out when set.
    Poster plain = {"Taro \"T\" Yamada", "t@example.jp", "ACME"};
    std::string wire = Compose("Newsgroups: a\r\nSubject: hi\r\nMessage-ID: <2@x>\r\n\r\nb\r\n", plain);
    EXPECT_EQ(0u, wire.find("From: \"Taro \\\"T\\\" Yamada\" <t@example.jp>\r\n"));
    EXPECT_NE(std::string::npos, wire.find("\r\nSubject: hi\r\nMessage-ID: <2@x>\r\nOrganization: ACME\r\n"));
    EXPECT_EQ(std::string::npos, wire.find("Date:"));

    // A long subject: words of at most 75 characters that read back whole.
    std::string subject;
    for (int i = 0; i < 6; ++i)
        subject += kNihongo + " abc ";
    wire = Compose("Newsgroups: a\r\nSubject: " + subject + "\r\nMessage-ID: <3@x>\r\n\r\n");
    size_t start = wire.find("Subject: ") + 9, end = wire.find("\r\nMessage-ID");
    std::string field = wire.substr(start, end - start), unfolded;
    for (size_t at = 0, next; at < field.size(); at = next + 3) {
        next = std::min(field.find("\r\n ", at), field.size());
        EXPECT_LE(next - at, (size_t)kEncodedWordMax);
        unfolded += (at ? " " : "") + field.substr(at, next - at);
    }
    char decoded[1024];
    DecodeMimeWords(unfolded.c_str(), kCharsetNone, decoded, sizeof decoded);
    EXPECT_EQ(subject, decoded);
}

TEST(PostComposer, RefusesWhatIsoJpCannotCarryLongLinesAndMissingFieldsAndTrimsReferences)
{
    std::string head = "Newsgroups: a\r\nSubject: s\r\nMessage-ID: <1@x>\r\n\r\n";
    // Circled one, an IBM extension kanji, a control byte: the line and the character.
    EXPECT_EQ("fault 1 - 2 \x87@", Compose(head + "ok\r\nx\x87@y\r\n"));
    EXPECT_EQ("fault 1 - 1 \xee\xe0", Compose(head + "\xee\xe0\r\n"));
    EXPECT_EQ("fault 1 - 1 \x1b", Compose(head + "\x1b$B\r\n"));
    EXPECT_EQ("fault 1 Subject 0 \x87@", Compose("Newsgroups: a\r\nSubject: \x87@\r\nMessage-ID: <1@x>\r\n\r\n"));
    // 998 bytes on the wire go; one more, or a dot that stuffing makes the 999th, does not.
    EXPECT_EQ(std::string::npos, Compose(head + std::string(998, 'a')).find("fault"));
    EXPECT_EQ("fault 2 - 1 ", Compose(head + std::string(999, 'a')));
    EXPECT_EQ("fault 2 - 1 ", Compose(head + "." + std::string(997, 'a')));
    // 497 kanji are 994 bytes in JIS and 1000 with the escapes.
    std::string kanji;
    for (int i = 0; i < 497; ++i)
        kanji += "\x88\x9f";
    EXPECT_EQ("fault 2 - 1 ", Compose(head + kanji));
    EXPECT_EQ("fault 3 Newsgroups 0 ", Compose("Subject: s\r\nMessage-ID: <1@x>\r\n\r\n"));
    EXPECT_EQ("fault 5 Message-ID 0 ", Compose("Newsgroups: a\r\n\r\n"));
    Poster nobody = {NULL, NULL, NULL};
    EXPECT_EQ("fault 4 From 0 ", Compose(head, nobody));

    // References: the first and the nearest kept, the oldest after the first dropped.
    std::string references;
    for (int i = 0; i < 40; ++i)
        references += (i ? " <" : "<") + std::to_string(1000 + i) + std::string(20, 'r') + "@example.jp>";
    char trimmed[2048];
    size_t length = TrimReferences(references.data(), references.size(), trimmed, sizeof trimmed);
    EXPECT_LE(length + 12, (size_t)kWireLineMax);
    EXPECT_GT(length + 12 + 38, (size_t)kWireLineMax);
    std::string kept(trimmed, length);
    EXPECT_EQ(0u, kept.find("<1000"));
    EXPECT_EQ(std::string::npos, kept.find("<1001"));
    EXPECT_EQ(references.substr(references.size() - 100), kept.substr(kept.size() - 100));

    // A follow-up: "Re: " once, the article's id after its references, its body quoted.
    std::string article = "From: a@b\r\nSubject: Re: q\r\nNewsgroups: g1,g2\r\nMessage-ID: <m@x>\r\n"
                          "References: <r1@x><r2@x>\r\n\r\nline\r\n\r\n";
    size_t followLength;
    char* follow = MakeFollowUp(article.data(), article.size(), &followLength);
    EXPECT_EQ("Newsgroups: g1,g2\r\nSubject: Re: q\r\nReferences: <r1@x> <r2@x> <m@x>\r\n\r\n"
              "In article <m@x>,\r\na@b wrote:\r\n> line\r\n>\r\n",
              std::string(follow, followLength));
    free(follow);

    // Drafts: fields in any case, set, replaced and removed; the body kept.
    std::string draft = "subject: a\nNewsgroups: g\n\nbody\n";
    const char* value;
    size_t valueLength;
    ASSERT_TRUE(DraftField(draft.data(), draft.size(), "Subject", &value, &valueLength));
    EXPECT_EQ("a", std::string(value, valueLength));
    size_t newLength;
    char* set = SetDraftField(draft.data(), draft.size(), "Subject", "b", &newLength);
    EXPECT_EQ("Subject: b\r\nNewsgroups: g\r\n\r\nbody\n", std::string(set, newLength));
    char* removed = SetDraftField(set, newLength, "Subject", NULL, &newLength);
    EXPECT_EQ("Newsgroups: g\r\n\r\nbody\n", std::string(removed, newLength));
    free(set);
    free(removed);
}
