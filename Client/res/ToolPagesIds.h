// Control ids of the tool pages: startup manager, settings, backups, ignore list, compaction.
#pragma once
