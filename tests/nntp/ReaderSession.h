// A reader's session with a news server the tests run (scripted, the demo
// server, INN): the first line of each reply, the lines of a list, posting.
#pragma once
#include <winsock2.h>
#include <string>
#include <vector>
#include "nntp/NntpConnection.h"

class ReaderSession {
public:
    ~ReaderSession()
    {
        connection_.SendLine("QUIT");
        connection_.Close();
    }
    // Connects, `attempts` times for a server still starting; the greeting.
    std::string Open(unsigned short port, int attempts = 1)
    {
        for (int i = 1; !connection_.Connect("127.0.0.1", port) && i < attempts; ++i) {
            connection_.Close();
            Sleep(25);
        }
        return Read();
    }
    // The next line, CR LF stripped unless `strip` is FALSE, or the failure.
    std::string Read(BOOL strip = TRUE)
    {
        char line[1024];
        if (!connection_.ReadLine(line, sizeof line, strip))
            return "<failed " + std::to_string(GetLastError()) + ">";
        return line;
    }
    std::string Ask(const std::string& command, BOOL strip = TRUE)
    {
        return connection_.SendLine(command.c_str()) ? Read(strip) : "<send failed>";
    }
    // The lines of a list up to its terminating line, each with its CR LF.
    std::vector<std::string> ReadList()
    {
        std::vector<std::string> lines;
        for (std::string line = Read(FALSE); line != ".\r\n" && line[0] != '<'; line = Read(FALSE))
            lines.push_back(line);
        return lines;
    }
    // Posts `lines` (without CR LF, dot-stuffed here); the final reply.
    std::string Post(const std::vector<std::string>& lines)
    {
        std::string reply = Ask("POST");
        for (size_t i = 0; i < lines.size() && reply[0] == '3'; ++i) {
            std::string stuffed = (!lines[i].empty() && lines[i][0] == '.') ? "." + lines[i] : lines[i];
            if (!connection_.SendLine(stuffed.c_str()))
                return "<send failed>";
        }
        return reply[0] == '3' ? Ask(".") : reply;
    }

    NntpConnection& Connection() { return connection_; }

private:
    NntpConnection connection_;
};
