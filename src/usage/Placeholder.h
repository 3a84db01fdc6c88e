#pragma once

// The model name the usage check starts the tool with. The tool's own error
// messages may repeat it, so the failure diagnosis skips lines naming it.
inline constexpr char16_t kPlaceholderModel[] = u"usage-check-only";
