#pragma once

// Small bases for the reader's tests, with the reply links a tosser stores.
#include "bases/BaseFactory.h"
#include "bases/JamFormat.h"
#include "bases/SquishFormat.h"
#include "core/Endian.h"
#include "core/Msg.h"

#include "TempDir.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tavro::test {

struct TPost {
    const char* Subj;
    TMsgId ReplyTo = 0;     // stored link
    const char* MsgId = ""; // kludge values
    const char* Reply = "";
    const char* From = "Ivan Petrov";
    TDateTime Date = 45000;
    std::vector<TMsgId> Replies = {}; // stored answers, Squish only
};

inline std::string PathFor(TBaseType type, const TTempDir& dir) {
    return type == btMsg ? dir.File("area") : type == btSquish ? dir.File("area.sqd") : dir.File("area.jhr");
}

// Reply links as a tosser stores them (Tavro itself writes none), in the header of the
// message at each position, found through the index.
inline void StoreReplyLinks(TBaseType type, const TTempDir& dir, const std::vector<TPost>& posts) {
    const bool jam = type == btJam;
    const std::string index = test::ReadFile(dir.File(jam ? "area.jdx" : "area.sqi"));
    const std::string headerFile = dir.File(jam ? "area.jhr" : "area.sqd");
    std::string headers = test::ReadFile(headerFile);
    const size_t recordSize = jam ? JamIndexRecordSize : SqIndexRecordSize;
    for (size_t p = 0; p < posts.size(); ++p) {
        const uint32_t offset = GetLE32(&index[p * recordSize + (jam ? 4 : 0)]);
        const size_t at = offset + (jam ? size_t(jhReplyTo) : SqFrameHeaderSize + size_t(smReplyTo));
        PutLE32(&headers[at], posts[p].ReplyTo);
        for (size_t r = 0; r < posts[p].Replies.size() && !jam; ++r)
            PutLE32(&headers[offset + SqFrameHeaderSize + smReplies + 4 * r], posts[p].Replies[r]);
    }
    test::WriteFile(headerFile, headers);
}

// A base of the type holding the posts in order; ids are 1, 2, ... (2, 3, ... for *.MSG).
inline TBaseRef MakeBase(TBaseType type, const TTempDir& dir, const std::vector<TPost>& posts) {
    TBaseRef base = NewBase(type, PathFor(type, dir), "TEST.AREA", "");
    EXPECT_TRUE(base->CreateIfMissing());
    for (const TPost& post : posts) {
        std::unique_ptr<TCustomMsg> msg = base->NewMsg();
        msg->FromName = post.From;
        msg->ToName = "All";
        msg->Subject = post.Subj;
        msg->DateWritten = post.Date;
        msg->ReplyTo = post.ReplyTo;
        if (*post.MsgId)
            msg->Kludges.push_back(std::string("\x01MSGID: ") + post.MsgId);
        if (*post.Reply)
            msg->Kludges.push_back(std::string("\x01REPLY: ") + post.Reply);
        msg->Body.emplace_back("text");
        EXPECT_TRUE(base->WriteMsg(msg.get()));
    }
    if (type != btMsg)
        StoreReplyLinks(type, dir, posts);
    base->Invalidate();
    base->Rescan();
    return base;
}

} // namespace tavro::test
