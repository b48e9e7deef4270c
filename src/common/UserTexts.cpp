#include "common/UserTexts.h"

#include <atomic>

namespace kinovela {

namespace {

std::atomic<TextTranslator> g_translator{nullptr};

}  // namespace

void SetTextTranslator(TextTranslator translator) { g_translator.store(translator); }

std::string UserText(const char* source)
{
    const TextTranslator t = g_translator.load();
    return t ? t(kMessageContext, source) : std::string(source);
}

}  // namespace kinovela
