#include "RoadFixture.h"
#include "views/ArticleView.h"
#include "views/SubjectView.h"

void RoadFixture::SetUp()
{
    HINSTANCE instance = GetModuleHandleW(NULL);
    ArticleView::RegisterClass(instance);
    SubjectView::RegisterClass(instance);
    MainFrame::RegisterClass(instance);
    WSADATA wsa;
    WSAStartup(0x0202, &wsa);
    ASSERT_TRUE(server.Start(30000));
    server.On("QUIT", "205 bye\r\n");
}

void RoadFixture::TearDown()
{
    if (frame) {
        if (frame->Window() && IsWindow(frame->Window()))
            DestroyWindow(frame->Window());
        FrameFixture::Pump();
        delete frame;
    }
    server.Stop();
    WSACleanup();
}
