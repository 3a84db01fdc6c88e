#pragma once

// How urgent a desktop notice is, as the notification specification numbers it: decided by
// the alerts, sent by the notifications.
enum class Urgency { Low = 0, Normal = 1, Critical = 2 };
