#include "nntp/CompressLayer.h"
#include <string.h>

namespace {

enum {
    // What we send is a few short commands: a 512-byte window and the
    // smallest hash table keep the deflate state under 10 KB (zlib's
    // defaults take some 260 KB). The server's 32 KB window reads any
    // smaller one.
    kDeflateWindowBits = 9,
    kDeflateMemoryLevel = 1,
    kRawInflateWindowBits = 15,
    // zlib's data_type: inflate stopped between two blocks.
    kBetweenBlocks = 128,
};

// Whether a capability line is COMPRESS, in any case, with DEFLATE among
// its arguments.
BOOL OffersDeflate(const char* line)
{
    if (_strnicmp(line, "COMPRESS", 8) != 0 || (line[8] != ' ' && line[8] != '\t'))
        return FALSE;
    for (const char* word = line + 8; *word;) {
        while (*word == ' ' || *word == '\t')
            ++word;
        size_t length = strcspn(word, " \t\r\n");
        if (length == 7 && _strnicmp(word, "DEFLATE", 7) == 0)
            return TRUE;
        if (!length)
            break;
        word += length;
    }
    return FALSE;
}

}  // namespace

void CompressLayer::Init()
{
    below_ = NULL;
    memset(&inflate_, 0, sizeof inflate_);
    memset(&deflate_, 0, sizeof deflate_);
    inflating_ = FALSE;
    deflating_ = FALSE;
    broken_ = FALSE;
    ended_ = FALSE;
    atBoundary_ = TRUE;
    atLineEnd_ = TRUE;
    outputPending_ = FALSE;
}

BOOL CompressLayer::Start(StreamLayer* below)
{
    Destroy();
    inflating_ = inflateInit2(&inflate_, -kRawInflateWindowBits) == Z_OK;
    deflating_ = inflating_ && deflateInit2(&deflate_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -kDeflateWindowBits,
                                            kDeflateMemoryLevel, Z_DEFAULT_STRATEGY) == Z_OK;
    if (!deflating_) {
        Destroy();
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    below_ = below;
    return TRUE;
}

void CompressLayer::Destroy()
{
    if (inflating_)
        inflateEnd(&inflate_);
    if (deflating_)
        deflateEnd(&deflate_);
    Init();
}

BOOL CompressLayer::Fail()
{
    broken_ = TRUE;
    SetLastError(ERROR_INVALID_DATA);
    return FALSE;
}

BOOL CompressLayer::Send(const char* data, DWORD length)
{
    if (!deflating_)
        return Fail();
    deflate_.next_in = (Bytef*)data;
    deflate_.avail_in = length;
    // One sync flush for the whole send; zlib asks to be called again while
    // it fills the output to the brim.
    do {
        deflate_.next_out = output_;
        deflate_.avail_out = sizeof output_;
        int status = deflate(&deflate_, Z_SYNC_FLUSH);
        if (status != Z_OK && status != Z_BUF_ERROR)
            return Fail();
        DWORD produced = (DWORD)(sizeof output_ - deflate_.avail_out);
        if (produced && !below_->Send((const char*)output_, produced))
            return FALSE;
    } while (deflate_.avail_out == 0);
    return TRUE;
}

BOOL CompressLayer::Receive(char* data, DWORD capacity, DWORD* received)
{
    *received = 0;
    if (broken_ || !inflating_)
        return Fail();
    for (;;) {
        if (ended_)
            return TRUE;   // nothing can follow the stream's last block
        if (inflate_.avail_in == 0 && !outputPending_) {
            DWORD count;
            if (!below_->Receive((char*)input_, sizeof input_, &count))
                return FALSE;
            // A server that flushes partially and then closes leaves its
            // last empty block unfinished: after a whole line that is its
            // close, not a cut stream.
            if (count == 0)
                return atBoundary_ || atLineEnd_ ? TRUE : Fail();
            inflate_.next_in = input_;
            inflate_.avail_in = count;
        }
        // The server flushes without a sync marker: hand on whatever
        // inflates now rather than wait for more.
        inflate_.next_out = (Bytef*)data;
        inflate_.avail_out = capacity;
        int status = inflate(&inflate_, Z_SYNC_FLUSH);
        if (status == Z_STREAM_END)
            ended_ = TRUE;
        else if (status != Z_OK && status != Z_BUF_ERROR)
            return Fail();
        atBoundary_ = (inflate_.data_type & kBetweenBlocks) != 0;
        // A full buffer may leave inflated bytes inside zlib with no input
        // left; they come out before anything more is waited for.
        outputPending_ = inflate_.avail_out == 0;
        *received = capacity - inflate_.avail_out;
        if (*received) {
            atLineEnd_ = data[*received - 1] == '\n';
            return TRUE;
        }
    }
}

BOOL CompressLayer::HoldsInput()
{
    return inflate_.avail_in || outputPending_ || (below_ && below_->HoldsInput());
}

CompressionStart StartCompression(NntpConnection* connection, CompressLayer* layer, BOOL pipelined,
                                  char* line, DWORD lineSize)
{
    // Pipelined, COMPRESS ends the pipeline that CAPABILITIES begins and a
    // round trip is saved: a server without it answers 500, and a server
    // that answers 206 compresses whatever its list said.
    static const char kBoth[] = "CAPABILITIES\r\nCOMPRESS DEFLATE\r\n";
    BOOL asked = pipelined && layer->Start(connection->Top());
    if (asked ? !connection->SendLines(kBoth, sizeof kBoth - 1) : !connection->SendLine("CAPABILITIES")) {
        layer->Destroy();
        return kCompressionSendFailed;
    }
    if (!connection->ReadLine(line, lineSize, FALSE)) {
        layer->Destroy();
        return kCompressionReceiveFailed;
    }
    BOOL offered = FALSE;
    if (line[0] == '1') {   // 480, 500: no list to look at
        for (;;) {
            if (!connection->ReadLine(line, lineSize, FALSE)) {
                layer->Destroy();
                return kCompressionReceiveFailed;
            }
            if (strcmp(line, ".\r\n") == 0)
                break;
            offered = offered || OffersDeflate(line);
        }
    }
    if (!asked) {
        // The states come first: without memory for them nothing is asked.
        if (!offered || !layer->Start(connection->Top()))
            return kCompressionReady;
        if (!connection->SendLine("COMPRESS DEFLATE")) {
            layer->Destroy();
            return kCompressionSendFailed;
        }
    }
    if (!connection->ReadLine(line, lineSize, FALSE)) {
        layer->Destroy();
        return kCompressionReceiveFailed;
    }
    if (strncmp(line, "206", 3) != 0) {
        layer->Destroy();
        return kCompressionReady;
    }
    return connection->PushLayer(layer) ? kCompressionReady : kCompressionReceiveFailed;
}
