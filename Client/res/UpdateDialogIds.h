// Control ids of the program-update dialog.
#pragma once
