#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "text/text_ops.h"
#include "text/text_types.h"

// The small text routines the share protocol is built from: cutting values out of a page, filling and
// appending query or form parameters, and the form encoding of a value. Positions are 1-based and
// searches walk whole code-page-936 characters, as everywhere in the program.
namespace corvelle {

// The text between the first `startMarker` (searched from `startPosition`) and the first `endMarker`
// after it. With `includeMarkers` the markers are part of the result. When either marker is missing
// the result is empty, or the whole `text` when `wholeOnFailure` is set.
[[nodiscard]] Text TextBetween(std::string_view text, std::string_view startMarker,
                               std::string_view endMarker, int startPosition = 1, bool includeMarkers = false,
                               bool wholeOnFailure = false, CaseMode mode = CaseMode::Sensitive);

// Replaces the value of the first `key`= in a query or form text (up to the next "&" or the end) with
// `value`, inserted as it is. False, and nothing changed, when the text holds no `key`=.
[[nodiscard]] bool FillParam(Text& text, std::string_view key, std::string_view value,
                             CaseMode mode = CaseMode::Sensitive);

// Like FillParam, but appends "&key=value" when the key is absent (or makes the text "key=value" when
// it is empty). With `onlyIfAbsent` an existing value is kept and the result is false.
bool PutParam(Text& text, std::string_view key, std::string_view value, bool onlyIfAbsent = false,
              CaseMode mode = CaseMode::Sensitive);

// Everything after the last `marker` (the marker included when asked). An empty text or marker gives
// the text itself; a missing marker gives an empty text, or the whole text with `wholeOnFailure`.
[[nodiscard]] Text TextAfterLast(std::string_view text, std::string_view marker, bool includeMarker = false,
                                 bool wholeOnFailure = false, CaseMode mode = CaseMode::Sensitive);

// Seconds from a base moment to the current local date and time, followed by the three digits of the
// current millisecond. The base is 1970-01-01 08:00:00, or 1970-01-01 00:00:00 with `utcBase`; an
// offset in seconds is added when given. Equals the epoch time in milliseconds on a UTC+8 clock.
[[nodiscard]] Text MillisTimestamp(bool utcBase = false,
                                   std::optional<std::int64_t> offsetSeconds = std::nullopt);

// The same for a given local wall-clock time: `localSeconds` counts seconds from 1970-01-01 00:00:00
// of the local calendar (not UTC), `millis` is 0..999.
[[nodiscard]] Text MillisTimestampAt(std::int64_t localSeconds, int millis, bool utcBase = false,
                                     std::optional<std::int64_t> offsetSeconds = std::nullopt);

// Form encoding byte by byte: letters and digits stay, a space becomes "+", every other byte (each
// byte of a two-byte character too) becomes "%" and two upper-case hex digits.
[[nodiscard]] Text UrlEncode(std::string_view text);

}  // namespace corvelle
