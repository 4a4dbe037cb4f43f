#pragma once

// A configuration home with JAM areas for the reader window's tests.
#include "reader/MsgListModel.h"
#include "reader/ViewForm.h"
#include "reader/ViewerPanes.h"

#include "bases/JamBase.h"
#include "config/Echo.h"
#include "config/TreeInfo.h"
#include "config/User.h"
#include "core/DateTime.h"
#include "core/Settings.h"

#include "RecordingUi.h"

#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <memory>
#include <string>
#include <vector>

namespace tavro::test {

struct TJamPost {
    std::string From;
    std::string Subj;
    std::string MsgId = {};
    std::string Reply = {};
    int Lines = 1;
};

// Writes the posts into a JAM base; the user (index 0) has read those listed.
inline void WriteJam(const std::string& jhr, const std::vector<TJamPost>& posts,
                     const std::vector<int>& read = {}) {
    TJamBase base(jhr, "RU.TEST", "");
    QVERIFY(base.CreateIfMissing());
    base.Rescan();
    int day = 1;
    for (const TJamPost& post : posts) {
        auto msg = base.NewMsg();
        msg->FromName = post.From;
        msg->ToName = "All";
        msg->Subject = post.Subj;
        msg->DateWritten = EncodeDateTime(2024, 3, day++, 12, 0, 0);
        if (!post.MsgId.empty())
            msg->Kludges.push_back("\x01MSGID: " + post.MsgId);
        if (!post.Reply.empty())
            msg->Kludges.push_back("\x01REPLY: " + post.Reply);
        for (int line = 0; line < post.Lines; ++line)
            msg->Body.emplace_back("line " + std::to_string(line));
        QVERIFY(msg->Save());
    }
    base.SetUser(0, "Reader");
    for (int p = 0; p < base.GetCount(); ++p)
        base.SetRead(base.GetMsgId(p), std::find(read.begin(), read.end(), p) != read.end());
    base.Close();
}

inline void SetLastRead(const std::string& jhr, TMsgId id) {
    TJamBase base(jhr, "RU.TEST", "");
    base.SetUser(0, "Reader");
    base.SetLastRead(id);
    base.Close();
}

inline QTreeWidgetItem* ItemNamed(QTreeWidget* tree, const QString& name) {
    const auto items = tree->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
    return items.isEmpty() ? nullptr : items.front();
}

// The home, its areas and the user reading them; Start and Stop around each test.
class TReaderHome {
protected:
    std::unique_ptr<QTemporaryDir> Home;
    std::vector<std::unique_ptr<TEcho>> Echoes;
    std::unique_ptr<TUser> User;
    std::unique_ptr<TRecordingUi> Ui;

    std::string File(const char* name) const {
        return Home->filePath(QString::fromLatin1(name)).toStdString();
    }

    TEcho* AddArea(const char* tag, const std::string& path, TTreeInfo* folder = nullptr,
                   TBaseType type = btJam) {
        auto echo = std::make_unique<TEcho>();
        echo->Name = tag;
        echo->EchoType = etEchomail;
        echo->BaseType = type;
        echo->Path = path;
        auto node = std::make_unique<TTreeInfo>(echo.get());
        (folder ? folder->Children : User->AreaTree).push_back(std::move(node));
        Echoes.push_back(std::move(echo));
        return Echoes.back().get();
    }

    app::TMsgListModel* Model(app::TViewForm& form) { return form.Panes()->ListModel(); }

    void Focus(app::TViewForm& form, const char* name) {
        QTreeWidgetItem* item = ItemNamed(form.Panes()->Tree(), QString::fromLatin1(name));
        QVERIFY(item);
        form.Panes()->Tree()->setCurrentItem(item);
    }

    void Start() {
        Home = std::make_unique<QTemporaryDir>();
        qputenv("TAVRO_HOME", Home->path().toUtf8());
        Settings() = TGlobalSettings{};
        User = std::make_unique<TUser>();
        User->Name = "Reader";
        Ui = std::make_unique<TRecordingUi>();
    }
    void Stop() {
        User.reset();
        Echoes.clear();
        qunsetenv("TAVRO_HOME");
    }
};

} // namespace tavro::test
