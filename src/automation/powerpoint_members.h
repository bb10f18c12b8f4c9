// The members of "PowerPoint.Application" and its objects, by number: the
// route that calls them and the server that answers read them here.
#ifndef SCRIVEX_AUTOMATION_POWERPOINT_MEMBERS_H_
#define SCRIVEX_AUTOMATION_POWERPOINT_MEMBERS_H_

namespace scrivex::powerpoint {

// Application
constexpr int kPresentations = 2001;  // get
constexpr int kQuit = 2021;
// Presentations
constexpr int kOpen = 2004;
// Presentation
constexpr int kSlides = 2011;        // get
constexpr int kPrintOptions = 2033;  // get
constexpr int kPrintOut = 2034;
constexpr int kClose = 2039;
// Slides
constexpr int kCount = 11;  // get
// PrintOptions
constexpr int kPrintInBackground = 2010;  // put
constexpr int kActivePrinter = 2015;      // put

}  // namespace scrivex::powerpoint

#endif  // SCRIVEX_AUTOMATION_POWERPOINT_MEMBERS_H_
