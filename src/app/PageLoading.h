#pragma once
// Loading a page for the command-line tools: navigate an engine browser control and run the loop
// until the page is complete.
#include <memory>
#include <string>

#include "engine/Document.h"
#include "system/PlainUiLoop.h"

namespace lectryn::app {

// The loaded document; Nothing with `error` set when the page cannot be loaded, or with `error`
// empty when the loop was told to quit first.
std::shared_ptr<engine::Document> LoadPage(system::PlainUiLoop& loop, const std::string& page,
                                           std::string& error);

}  // namespace lectryn::app
