#pragma once

#include "DemoLetter.h"

#include "core/DateTime.h"
#include "core/Msg.h"

#include <string>
#include <vector>

namespace tavro {

class TCustomBase;

// Stores the demo's letters in a new, empty base through the base's own writer, texts in
// the OEM code page, then gives the user read marks and a last-read pointer.
class TDemoBaseWriter {
public:
    // `day` is the demo's day, from which the letters' times count.
    TDemoBaseWriter(TCustomBase& base, TDateTime day);

    // Appends the letters in their order. With `linked` each stores the message it answers
    // and the answers to it, where the format keeps them. Throws std::runtime_error when the
    // base refuses a letter or does not read back as written.
    void Write(const std::vector<TDemoLetter>& letters, bool linked);
    // Marks the letters read that say so, sets the last-read pointer to the last letter
    // before the first unread one, and saves both for the user.
    void MarkRead(const std::vector<TDemoLetter>& letters, int userId, const std::string& userName);

private:
    void Fill(TCustomMsg& msg, const TDemoLetter& letter) const;
    void Check(size_t count, bool linked);
    void CheckReadMarks(const std::vector<TDemoLetter>& letters, int userId, TMsgId lastRead);

    TCustomBase& Base;
    TDateTime Day;
};

} // namespace tavro
