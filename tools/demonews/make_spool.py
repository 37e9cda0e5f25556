#!/usr/bin/env python3
"""Writes the demo news server's sample spool from the UTF-8 texts below.

    python3 make_spool.py [SPOOL]              rewrite the whole sample spool
    python3 make_spool.py --add GROUP [SPOOL]  add one new article to GROUP

SPOOL defaults to the folder "spool" next to this script. Each article is one
file named by its number in the folder of its group, in raw ISO-2022-JP with
CR LF line ends, as a news server would hand it out; the articles of MIME_ARTICLES
come as today's clients post them (UTF-8, EUC-JP, Shift_JIS; 8bit,
quoted-printable, base64), for the setting ConvertMime.
"""
import base64
import os
import quopri
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

# (group, first article number, numbers left out as if expired)
GROUPS = [
    ("japan.comp.handheld", 3001, {3006}),
    ("japan.comp.misc", 120, set()),
    ("fj.rec.travel", 1, {4}),
]

# One entry an article: group, sender name, address, subject, body lines,
# and for a follow-up the index (in this list) of the article it answers.
# A follow-up's subject and quote are built from its parent.
ARTICLES = [
    # japan.comp.handheld
    dict(g=0, name="佐藤 健一", addr="ksato@example.jp", subj="ハンドヘルドPCでニュースを読む",
         body=["みなさん、こんにちは。",
               "最近ﾊﾝﾄﾞﾍﾙﾄﾞPCを買いました。電車の中でニュースを読みたいのですが、",
               "オフラインで読めるリーダーはありますか。",
               "",
               "通信はPHSで、朝に一度だけ巡回できれば十分です。",
               "--",
               "佐藤"]),
    dict(g=0, name="高橋 真理", addr="mari@example.ne.jp", re=0,
         body=["高橋です。", "", "朝の巡回でまとめて取ってきて、あとはゆっくり読むのが一番ですね。",
               "私は購読グループを五つに絞って、一グループ五十件までにしています。"]),
    dict(g=0, name="佐藤 健一", addr="ksato@example.jp", re=1,
         body=["なるほど、件数の上限を決めておけば通信料も安心ですね。", "さっそく試してみます。"]),
    dict(g=0, name="ﾀﾅｶ ﾋﾛｼ", addr="tanaka@example.com",
         subj="ﾒﾓﾘｶｰﾄﾞの相性について教えてください",
         body=["田中です。", "", "ｺﾝﾊﾟｸﾄﾌﾗｯｼｭ 32MB を挿したところ、ときどき認識しなくなります。",
               "同じような症状の方はいらっしゃいますか。", "", "機種は640x240の画面のものです。"]),
    dict(g=0, name="鈴木 一郎", addr="ichiro@example.or.jp", re=3,
         body=["鈴木です。", "", "うちでも同じでした。カードを一度フォーマットし直したら直りました。",
               "電池が減っているときにも起きやすいようです。"]),
    dict(g=0, name="山本 さくら", addr="sakura@example.jp",
         subj="ポケットPCの画面で日本語がきれいに表示されるフォントを探しています。"
              "ゴシック体で小さくても読みやすいものがあれば教えてください",
         body=["山本です。", "", "240x320 の画面だと、九ポイントでも少し大きく感じます。",
               "皆さんはどんなフォントの設定で読んでいますか。", "",
               ".で始まる行もちゃんと表示されるか、ついでに確かめています。",
               "..二つの点で始まる行です。"]),
    dict(g=0, name="高橋 真理", addr="mari@example.ne.jp", re=5,
         body=["私は八ポイントのゴシックにしています。", "見出しの色を変えると引用と本文の区別がつきやすいですよ。"]),
    dict(g=0, name="中村 大輔", addr="daisuke@example.com", subj="赤外線通信でデータを移すには",
         body=["中村です。", "", "古い機種から新しい機種へ、保存した記事を移したいと思っています。",
               "データフォルダをまるごとコピーすればよいのでしょうか。"]),
    dict(g=0, name="佐藤 健一", addr="ksato@example.jp", re=7,
         body=["データフォルダごとコピーすれば、既読の印もそのまま移りますよ。",
               "ただしコピー中は読み書きしないようにしてください。"]),
    dict(g=0, name="小林 ゆき", addr="yuki@example.jp", subj="電池の持ちをよくするこつ",
         body=["小林です。", "", "バックライトを一番暗くして、巡回は充電中にするようにしたら、",
               "一週間ほど充電しなくても大丈夫になりました。", "", "ご参考まで。"]),
    # japan.comp.misc
    dict(g=1, name="伊藤 誠", addr="makoto@example.ne.jp", subj="文字コードの変換で困っています",
         body=["伊藤です。", "", "ISO-2022-JP の記事を Shift_JIS に直して保存したいのですが、",
               "半角カナ(ｶﾀｶﾅ)が混じると化けてしまいます。", "エスケープシーケンスの扱いを間違えているのでしょうか。"]),
    dict(g=1, name="渡辺 直子", addr="naoko@example.com", re=10,
         body=["渡辺です。", "", "半角カナは ESC ( I で切り替わります。", "その後は一バイトずつ 0x80 を足せば Shift_JIS になります。"]),
    dict(g=1, name="伊藤 誠", addr="makoto@example.ne.jp", re=11,
         body=["ありがとうございます。0x80 を足すのを忘れていました。", "これで直りました。"]),
    dict(g=1, name="加藤 学", addr="manabu@example.or.jp", subj="古いノートパソコンの再利用",
         body=["加藤です。", "", "押し入れから古いノートパソコンが出てきました。",
               "メモリは 16MB しかありませんが、何か使い道はあるでしょうか。"]),
    dict(g=1, name="吉田 和子", addr="kazuko@example.jp", re=13,
         body=["吉田です。", "", "ニュースサーバの試験用にするのはどうでしょう。",
               "ループバックでつないで、巡回の速さを測るのにちょうどいいですよ。"]),
    dict(g=1, name="山田 太郎", addr="taro@example.com", subj="キーボードの配列について",
         body=["山田です。", "", "小さいキーボードだと「ろ」のキーが押しにくくありませんか。",
               "皆さんはかな入力ですか、ローマ字入力ですか。"]),
    dict(g=1, name="佐々木 恵", addr="megumi@example.ne.jp", re=15,
         body=["佐々木です。", "", "私はローマ字入力です。", "かな入力は小さいキーだと指が迷子になります。"]),
    dict(g=1, name="松本 修", addr="osamu@example.jp", subj="ﾃｷｽﾄｴﾃﾞｨﾀのおすすめ",
         body=["松本です。", "", "小さな画面でも使いやすいﾃｷｽﾄｴﾃﾞｨﾀを探しています。",
               "行の折り返しと、全角空白の表示ができるものがいいです。"]),
    dict(g=1, name="井上 美穂", addr="miho@example.com", subj="年末の大掃除でケーブルが山ほど",
         body=["井上です。", "", "シリアルケーブルとモデムのケーブルが箱いっぱい出てきました。",
               "もう使わないと思いつつ、なかなか捨てられません。"]),
    dict(g=1, name="加藤 学", addr="manabu@example.or.jp", re=18,
         body=["わかります。うちにも「いつか使う」箱があります。"]),
    # fj.rec.travel
    dict(g=2, name="木村 拓也", addr="takuya@example.jp", subj="冬の北海道、列車の旅",
         body=["木村です。", "", "来月、札幌から網走まで列車で行く予定です。",
               "車窓からの流氷は見られるでしょうか。", "", "おすすめの駅弁があれば教えてください。"]),
    dict(g=2, name="林 陽子", addr="yoko@example.ne.jp", re=20,
         body=["林です。", "", "二月なら、網走の近くで流氷が見られることが多いですよ。",
               "駅弁は、かにめしがおすすめです。"]),
    dict(g=2, name="木村 拓也", addr="takuya@example.jp", re=21,
         body=["かにめし、ぜひ食べてみます。", "ありがとうございました。"]),
    dict(g=2, name="清水 健", addr="ken@example.com", subj="京都の紅葉、今年の見ごろ",
         body=["清水です。", "", "先週、京都に行ってきました。", "東福寺の紅葉はちょうど見ごろで、朝早く行くと人も少なめでした。",
               "", "ｶﾒﾗの電池は予備を持って行くことをおすすめします。"]),
    dict(g=2, name="森 あかり", addr="akari@example.jp", re=23,
         body=["森です。", "", "朝の東福寺、いいですね。", "来年は私も早起きして行ってみます。"]),
    dict(g=2, name="池田 浩", addr="hiroshi@example.or.jp", subj="沖縄の離島めぐり、船の時刻表",
         body=["池田です。", "", "石垣島から竹富島、西表島とまわる予定です。",
               "船は予約しておいたほうがいいでしょうか。"]),
    dict(g=2, name="森 あかり", addr="akari@example.jp", re=25,
         body=["竹富島までは本数が多いので、予約なしでも大丈夫でした。",
               "西表島へは天気によって欠航することがあるので、早めに確認してください。"]),
    dict(g=2, name="橋本 翔", addr="sho@example.com", subj="青春18きっぷで東京から九州へ",
         body=["橋本です。", "", "普通列車だけで東京から博多まで行ってきました。",
               "朝五時に出て、着いたのは夜の十時すぎです。", "", "お尻が痛くなりましたが、いい旅でした。"]),
]

# Appended after the first list so that the indexes above stay as they are.
ARTICLES += [
    dict(g=0, name="中村 大輔", addr="daisuke@example.com", re=9,
         body=["充電中に巡回するのはいい考えですね。", "私も明日から真似してみます。"]),
    dict(g=0, name="ｵｶﾀﾞ ﾏｺﾄ", addr="okada@example.jp", subj="ｽﾀｲﾗｽをなくしてしまいました",
         body=["岡田です。", "", "電車の中でｽﾀｲﾗｽを落としてしまいました。",
               "代わりに使えるものはありますか。つまようじは危ないでしょうか。"]),
    dict(g=1, name="吉田 和子", addr="kazuko@example.jp", re=15,
         body=["私はかな入力です。", "親指で押すので、小さいキーでも意外と平気ですよ。"]),
    dict(g=1, name="山田 太郎", addr="taro@example.com", subj="文字化けしたメールの直し方",
         body=["山田です。", "", "友人から届いたメールが「$B%F%9%H$G$9」のように化けていました。",
               "エスケープシーケンスが落ちてしまったのだと思います。", "何か直す方法はありますか。"]),
    dict(g=2, name="林 陽子", addr="yoko@example.ne.jp", re=27,
         body=["お疲れさまでした。", "普通列車の旅は、途中の駅で降りるのも楽しいですよね。"]),
    dict(g=2, name="清水 健", addr="ken@example.com", subj="温泉宿の予約、平日がねらい目",
         body=["清水です。", "", "人気の温泉宿でも、平日なら前の週でも空いていることが多いです。",
               "ｷｬﾝｾﾙ待ちも意外と回ってきます。"]),
    dict(g=2, name="橋本 翔", addr="sho@example.com", re=33,
         body=["平日の温泉、いいですね。", "次の連休をはずして行ってみます。"]),
    dict(g=2, name="池田 浩", addr="hiroshi@example.or.jp", subj="旅先で記事を読むには",
         body=["池田です。", "", "旅行中は通信できないことが多いので、出発前に巡回しておきます。",
               "宿でゆっくり読むのが楽しみです。"]),
]

# The articles of today's clients are dated after these, as before the
# late answer below.
MIME_DATE_BASE = len(ARTICLES)

# A late answer to the group's first article: by arrival it comes last, in a
# list by conversation it stands in that first thread.
ARTICLES += [
    dict(g=0, name="小林 ゆき", addr="yuki@example.jp", re=0,
         body=["小林です。", "夜のうちに巡回しておけば、通勤電車の中でゆっくり読めますね。"]),
]

# Articles as today's clients post them, after the others of their group:
# (group, sender, address, subject, body, charset, transfer encoding, how the
# subject is encoded: "B", "Q" or "8bit"; the charset name as written).
MIME_ARTICLES = [
    dict(g=1, name="大野 花子", addr="hanako@example.jp", subj="UTF-8で投稿された記事〜読めますか",
         body=["大野です。", "", "最近のニュースリーダーは UTF-8 で投稿します。", "波ダッシュ〜やマイナス−も正しく表示されるはずです。",
               "", "English text stays as it is."],
         charset="UTF-8", cte="8bit", subj_enc="B"),
    dict(g=1, name="前田 健", addr="ken.maeda@example.com", subj="quoted-printableの記事",
         body=["前田です。", "",
               "この記事は quoted-printable で送られています。とても長い行は途中でソフト改行されますが、"
               "保存されるときにはひとつの行に戻ります。",
               "記号 ¢ £ ¬ も入れてみました。"],
         charset="utf-8", cte="quoted-printable", subj_enc="Q"),
    dict(g=1, name="藤田 陽菜", addr="hina@example.ne.jp", subj="base64で届いた記事です",
         body=["藤田です。", "", "本文が base64 になっている記事も、巡回のときに読める文字に直します。", "行の区切りも元どおりです。"],
         charset="Utf-8", cte="base64", subj_enc="B"),
    dict(g=1, name="岡本 修", addr="okamoto@example.or.jp", subj="EUC-JPの古い記事",
         body=["岡本です。", "", "昔のUNIXから投稿すると EUC-JP になることがありました。", "半角カナ(ｶﾀｶﾅ)も混ざっています。"],
         charset="EUC-JP", cte="8bit", subj_enc="B"),
    dict(g=1, name="石井 綾", addr="aya@example.jp", subj="Shift_JISのまま送られた記事",
         body=["石井です。", "", "パソコン通信のころの設定のまま投稿してしまいました。", "表示は崩れていませんか。"],
         charset="Shift_JIS", cte="8bit", subj_enc="B"),
    dict(g=1, name="Kenta Ogawa", addr="ogawa@example.com", subj="絵文字😀が入った記事",
         body=["小川です。", "", "絵文字😀は Shift_JIS にないので、〓 で表示されます。"],
         charset="UTF-8", cte="8bit", subj_enc="B"),
    dict(g=1, name="村上 亮", addr="ryo@example.jp", subj="大文字小文字の混じった文字コード名",
         body=["村上です。", "", "件名の文字コード名が Iso-2022-Jp と書かれていても読めます。"],
         charset="Iso-2022-Jp", cte="7bit", subj_enc="B"),
]

PYTHON_CODECS = {"utf-8": "utf-8", "euc-jp": "euc_jp", "shift_jis": "cp932", "iso-2022-jp": "iso2022_jp_ext"}


def mime_words(text, charset, encoding):
    codec = PYTHON_CODECS[charset.lower()]
    if encoding == "Q":
        raw = text.encode(codec)
        q = "".join(chr(b) if (chr(b).isalnum() and b < 128) else "=%02X" % b for b in raw)
        return ["=?%s?Q?%s?=" % (charset, q)]
    return ["=?%s?B?%s?=" % (charset, base64.b64encode(text[i:i + 12].encode(codec)).decode("ascii"))
            for i in range(0, len(text), 12)]


def mime_article_bytes(a, group, number, date, index):
    charset, cte = a["charset"], a["cte"]
    codec = PYTHON_CODECS[charset.lower()]
    name = a["name"]
    sender = name if name.isascii() else " ".join(mime_words(name, charset, "B"))
    head = ["Path: demo.pelora.example!not-for-mail",
            "From: " + sender + " <" + a["addr"] + ">",
            "Newsgroups: " + group]
    head += header_line("Subject", mime_words(a["subj"], charset, a["subj_enc"]))
    head += ["Date: " + date, "Message-ID: <demo.mime.%d@pelora.example>" % index,
             "MIME-Version: 1.0",
             "Content-Type: text/plain; charset=" + charset,
             "Content-Transfer-Encoding: " + cte]
    text = "".join(line + "\r\n" for line in a["body"]).encode(codec)
    if cte == "base64":
        encoded = base64.b64encode(text)
        body = b"".join(encoded[i:i + 76] + b"\r\n" for i in range(0, len(encoded), 76))
    elif cte == "quoted-printable":
        body = quopri.encodestring(text.replace(b"\r\n", b"\n")).replace(b"\n", b"\r\n")
    else:
        body = text
    head.append("Lines: %d" % body.count(b"\r\n"))
    return b"".join(line.encode("ascii") + b"\r\n" for line in head) + b"\r\n" + body


# Added by --add: a short article, so that a second patrol finds something.
EXTRA = ["追加の記事です。", "サーバが動いている間にスプールへ置かれました。",
         "二回目の巡回で新しい記事として取得されるはずです。"]

X_NEWSREADER = ["X-Newsreader: Handheld Notes 1.0 (sample)", "\tbuilt for the demo spool"]


def jis(text):
    """Text as ISO-2022-JP bytes; half-width katakana through ESC ( I."""
    return text.encode("iso2022_jp_ext")


def encoded_words(text, charset, chunk=12):
    """The text as one or more B encoded-words of at most `chunk` characters."""
    words = []
    for i in range(0, len(text), chunk):
        part = base64.b64encode(jis(text[i:i + chunk])).decode("ascii")
        words.append("=?%s?B?%s?=" % (charset, part))
    return words


def subject_of(index):
    article = ARTICLES[index]
    if "re" in article:
        return "Re: " + strip_re(subject_of(article["re"]))
    return article["subj"]


def strip_re(subject):
    return subject[4:] if subject.startswith("Re: ") else subject


def message_id(index):
    return "<demo.%d.%03d@pelora.example>" % (1000 + index, index)


def references(index):
    chain = []
    parent = ARTICLES[index].get("re")
    while parent is not None:
        chain.insert(0, message_id(parent))
        parent = ARTICLES[parent].get("re")
    return chain


def header_line(name, words):
    """name: words, folded onto continuation lines when it grows long."""
    lines = [name + ": " + words[0]]
    for word in words[1:]:
        if len(lines[-1]) + 1 + len(word) > 76:
            lines.append(" " + word)
        else:
            lines[-1] += " " + word
    return lines


def article_bytes(index, group, number, date):
    a = ARTICLES[index]
    # Alternate the charset's spelling so that readers meet both.
    charset = "ISO-2022-JP" if index % 2 == 0 else "iso-2022-jp"
    subject = subject_of(index)
    if subject.startswith("Re: "):
        # The reader unfolds without the fold's blank, so "Re:" keeps its
        # first word on its own line.
        words = encoded_words(subject[4:], charset)
        subject_words = ["Re: " + words[0]] + words[1:]
    else:
        subject_words = encoded_words(subject, charset)
    head = ["Path: demo.pelora.example!not-for-mail",
            "From: " + " ".join(encoded_words(a["name"], charset.lower() if index % 3 else charset))
            + " <" + a["addr"] + ">",
            "Newsgroups: " + group]
    head += header_line("Subject", subject_words)
    head += ["Date: " + date, "Message-ID: " + message_id(index)]
    refs = references(index)
    if refs:
        head += header_line("References", refs)
    head += ["MIME-Version: 1.0",
             "Content-Type: text/plain; charset=" + charset,
             "Content-Transfer-Encoding: 7bit"]
    if index % 4 == 1:
        head += X_NEWSREADER
    body = []
    if "re" in a:
        parent = ARTICLES[a["re"]]
        body.append("%s さんは書きました:" % parent["name"])
        for line in parent["body"]:
            if line.startswith(">") or not line.strip() or line == "--":
                continue
            body.append("> " + line)
        body.append("")
    body += a["body"]
    head.append("Lines: %d" % len(body))
    out = b""
    for line in head:
        out += line.encode("ascii") + b"\r\n"
    out += b"\r\n"
    for line in body:
        out += jis(line) + b"\r\n"
    return out


def date_of(k):
    day = 1 + k % 28
    hour = 6 + (k * 5) % 16
    minute = (k * 17) % 60
    return "Tue, %02d Nov 2026 %02d:%02d:00 +0900" % (day, hour, minute)


def write_spool(spool):
    for g, (group, first, holes) in enumerate(GROUPS):
        folder = os.path.join(spool, group)
        os.makedirs(folder, exist_ok=True)
        for name in os.listdir(folder):
            if name.isdigit():
                os.remove(os.path.join(folder, name))
        number = first
        k = 0
        for index, a in enumerate(ARTICLES):
            if a["g"] != g:
                continue
            while number in holes:
                number += 1
            with open(os.path.join(folder, str(number)), "wb") as f:
                f.write(article_bytes(index, group, number, date_of(index)))
            number += 1
            k += 1
        for index, a in enumerate(MIME_ARTICLES):
            if a["g"] != g:
                continue
            with open(os.path.join(folder, str(number)), "wb") as f:
                f.write(mime_article_bytes(a, group, number, date_of(MIME_DATE_BASE + index), index))
            number += 1


def add_article(spool, group):
    folder = os.path.join(spool, group)
    numbers = [int(n) for n in os.listdir(folder) if n.isdigit()]
    number = max(numbers) + 1 if numbers else 1
    charset = "ISO-2022-JP"
    lines = ["Path: demo.pelora.example!not-for-mail",
             "From: " + " ".join(encoded_words("追加 太郎", charset)) + " <extra@example.jp>",
             "Newsgroups: " + group,
             "Subject: " + " ".join(encoded_words("新しく届いた記事 %d" % number, charset)),
             "Date: Wed, 02 Dec 2026 12:00:00 +0900",
             "Message-ID: <demo.extra.%d@pelora.example>" % number,
             "Content-Type: text/plain; charset=ISO-2022-JP"]
    data = b"".join(l.encode("ascii") + b"\r\n" for l in lines) + b"\r\n"
    data += b"".join(jis(l) + b"\r\n" for l in EXTRA)
    path = os.path.join(folder, str(number))
    with open(path, "wb") as f:
        f.write(data)
    print(path)


def main(argv):
    if len(argv) >= 2 and argv[0] == "--add":
        add_article(argv[2] if len(argv) > 2 else os.path.join(HERE, "spool"), argv[1])
        return 0
    if argv and argv[0].startswith("-"):
        print(__doc__)
        return 2
    write_spool(argv[0] if argv else os.path.join(HERE, "spool"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
