// The trips window's command: "btnTrips" (the main page's trips button) opens the trips window
// over the listed card or folder, or brings it to the front and brings its index up to date.
#pragma once

struct AppContext;
class Commands;

void installTripsCommands(Commands& commands, AppContext& context);
