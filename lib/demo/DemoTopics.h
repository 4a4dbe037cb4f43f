#pragma once

#include <vector>

namespace tavro {

// What one conversation is made of (UTF-8): its subject, the paragraphs of its first letter
// and the paragraphs its replies draw from.
struct TDemoTopic {
    const char* Subject;
    std::vector<const char*> Opening;
    std::vector<const char*> Answers;
    // Who opens it (DemoPeople()); -1: anyone taking part but the user.
    int Starter = -1;
};

// The conversations of one echo area and who takes part in them (DemoPeople()).
struct TDemoEchoTexts {
    const char* Tag;
    std::vector<int> People;
    std::vector<TDemoTopic> Topics;
};

// Null for a tag the demo has no texts for.
const TDemoEchoTexts* DemoEchoTexts(const char* tag);

} // namespace tavro
