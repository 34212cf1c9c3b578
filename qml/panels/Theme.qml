pragma Singleton
import QtQuick 2.9

// The interface's palette and sizes, shared by every page, panel and control. Two themes: light
// (the default) for daylight and dark for dim rooms and night work; the main window sets `dark`
// from appBridge.theme. Every text colour keeps 4.5:1 against the surface it is drawn on.
QtObject {
    property bool dark: false

    // Surfaces
    readonly property color windowBackground: dark ? "#14181d" : "#f5f7fa"
    readonly property color panelBackground: dark ? "#1c2128" : "#ffffff"
    readonly property color panelBorder: dark ? "#2f3640" : "#dde3ea"
    readonly property color headerBackground: dark ? "#1a2430" : "#dceaf5"
    readonly property color fieldBackground: dark ? "#232a33" : "#ffffff"
    readonly property color fieldBorder: dark ? "#4a5461" : "#c8d1dc"
    readonly property color fieldBorderFocus: dark ? "#4a9fff" : "#409EFF"
    readonly property color divider: dark ? "#2f3640" : "#e4e9ef"

    // Text
    readonly property color textPrimary: dark ? "#e6eaf0" : "#303641"
    readonly property color textSecondary: dark ? "#c0c8d2" : "#4b5663"
    // Muted text over dark surfaces (the video's notices) in either theme.
    readonly property color textMuted: dark ? "#9aa4b1" : "#8a94a3"
    // Hints and secondary notes on the panels and the header.
    readonly property color textHint: dark ? "#9aa4b1" : "#58626f"
    readonly property color textOnAccent: "white"
    // A value the device reported that is no longer current (the device went quiet).
    readonly property color textStale: dark ? "#8c96a3" : "#6b7480"

    // Accent (switches, radios, selected tabs, primary buttons)
    readonly property color accent: dark ? "#4a9fff" : "#409EFF"
    readonly property color accentPressed: dark ? "#3a84d6" : "#337ECC"
    readonly property color accentDisabled: dark ? "#2c4a6e" : "#A0CFFF"
    readonly property color accentSoft: dark ? "#1f3550" : "#ecf5ff"
    // The accent as text, or as a face under white text: dark enough (light) or bright enough (dark) to read.
    readonly property color accentText: dark ? "#7cbcff" : "#1f6fc5"
    readonly property color accentStrong: dark ? "#2a6fc0" : "#1f6fc5"
    readonly property color controlOff: dark ? "#59636f" : "#C0C4CC"
    readonly property color knob: "white"

    // Destructive or risky actions (clear the log, restart, save the address, write the channels)
    readonly property color dangerFace: dark ? "#3a1f1f" : "#fdf0ef"
    readonly property color dangerHovered: dark ? "#4a2424" : "#fbe1de"
    readonly property color dangerPressed: dark ? "#5a2a2a" : "#f7cdc8"
    readonly property color dangerBorder: dark ? "#d9534f" : "#e0675c"
    readonly property color dangerText: dark ? "#ff8a80" : "#b42318"
    // A solid danger face under a white icon.
    readonly property color dangerSolid: dark ? "#b3261e" : "#c62828"
    readonly property color dangerSolidPressed: dark ? "#8c1d17" : "#a11f1f"

    // Message log
    readonly property color logBackground: dark ? "#161a20" : "#f5f7fa"
    readonly property color logDateText: dark ? "#9aa4b1" : "#58626f"

    // Scroll bar handle
    readonly property color scrollHandle: dark ? "#4a5461" : "#b4bcc7"
    readonly property color scrollHandlePressed: dark ? "#6b7683" : "#8a94a3"

    // Home button (its icon is dark: a light face in both themes)
    readonly property color homePressed: dark ? "#93a4b8" : "#D9E4F5"
    readonly property color homeHovered: dark ? "#c4d0de" : "#E1ECFA"
    readonly property color homeIdle: dark ? "#aebccc" : "#F2F6FC"

    // Link-status pill: serial, UDP, none, and amber for an open link whose device went quiet
    readonly property color pillSerialFill: dark ? "#13253a" : "#edf6ff"
    readonly property color pillSerialBorder: dark ? "#3b7fc9" : "#89c7ff"
    readonly property color pillSerialText: dark ? "#8cc4ff" : "#1f62b5"
    readonly property color pillUdpFill: dark ? "#12291e" : "#edf9f2"
    readonly property color pillUdpBorder: dark ? "#3d9a6a" : "#9ad8b7"
    readonly property color pillUdpText: dark ? "#7fd8a6" : "#1a6b41"
    readonly property color pillIdleFill: dark ? "#1c2128" : "#f5f7fa"
    readonly property color pillIdleBorder: dark ? "#3a424d" : "#d4dbe5"
    readonly property color pillIdleText: dark ? "#a7b0bc" : "#5b6573"
    readonly property color pillSilentFill: dark ? "#2e2310" : "#fff6e5"
    readonly property color pillSilentBorder: dark ? "#c48a2a" : "#f0b654"
    readonly property color pillSilentText: dark ? "#f0b654" : "#8a5200"

    // Product page
    readonly property color productPressed: dark ? "#1d3450" : "#deecff"
    readonly property color productHovered: dark ? "#243345" : "#edf5ff"
    readonly property color productIdle: dark ? "#1f252d" : "#ffffff"
    readonly property color productBorderHovered: dark ? "#4a9fff" : "#7ab8ff"
    readonly property color productBorderIdle: dark ? "#39424d" : "#d7dfe8"
    readonly property color productShadow: dark ? "#40000000" : "#1a3d6ea8"
    readonly property color langSelectedText: "white"
    readonly property color langOtherText: dark ? "#c0c8d2" : "#4b5663"
    readonly property color langTrack: dark ? "#2a313a" : "#e6ecf3"

    // Buttons
    readonly property color buttonIdle: dark ? "#262d36" : "#f4f6f9"
    readonly property color buttonHovered: dark ? "#2c3a4c" : "#e9f2fd"
    readonly property color buttonPressed: dark ? "#22364d" : "#d9e8fa"
    readonly property color buttonBorder: dark ? "#46505c" : "#cfd7e2"

    // Video
    readonly property color videoBackground: "#101418"
    readonly property color trackingBox: "#00E676"
    readonly property color videoReadoutBackground: "#66000000"
    // Text over a moving picture with text of its own: darker than the readout.
    readonly property color videoInfoBackground: "#b3000000"
    readonly property color overlayShade: "#99101418"
    readonly property color recordRed: "#F56C6C"
    readonly property color thermometryBox: "#FFEB3B"
    readonly property color thermometryHot: "#ff4444"
    readonly property color thermometryCold: "#4444ff"

    // Radii
    readonly property real radiusSmall: 4
    readonly property real radiusMedium: 6
    readonly property real radiusLarge: 10

    // Sizes (multiplied by the window's uiScale where they are used)
    readonly property real fontSmall: 13
    readonly property real fontNormal: 14
    readonly property real fontLarge: 16
    readonly property real fontTitle: 34
    readonly property real fontProductName: 22
    readonly property real fontProductButton: 18
    readonly property real controlHeight: 30
    readonly property real spacing: 8
    readonly property real margin: 10
    readonly property real headerHeight: 44
    readonly property real homeButtonSize: 34

    // Over the picture (the same in both themes)
    // A backing dark enough that its text keeps 4.5:1 even over a white picture.
    readonly property color hudBacking: "#cc000000"
    readonly property color hudText: "#ffffff"
    readonly property color hudLabel: "#d0d7e0"
    // A value the device stopped reporting: dimmed, still 4.5:1 on the backing.
    readonly property color hudStale: "#a8a8a8"
    readonly property color hudGood: "#69f0ae"
    readonly property color hudWarning: "#ffd54f"
    readonly property color hudScaleTrack: "#ffffff"
    readonly property color hudScaleMarker: "#ffd54f"
    readonly property color hudOutline: "#000000"
    readonly property color recordBadgeFill: "#c62828"
    readonly property color recordBadgeText: "#ffffff"
    readonly property color recordStopFill: "#c62828"
    readonly property color recordStopPressed: "#a31f1f"
    readonly property color silentBannerFill: "#ffb300"
    readonly property color silentBannerText: "#1a1a1a"
    readonly property color markHotText: "#ff8a80"
    readonly property color markColdText: "#82b1ff"
    readonly property color markPointText: "#fff176"
    readonly property color draftBoxDash: "#ffffff"
    readonly property color draftBoxUnder: "#000000"
    readonly property color trackedBoxLost: "#ffd54f"
    readonly property color confirmFill: "#2e7d32"
    readonly property color cancelFill: "#37474f"
    readonly property color boxButtonText: "#ffffff"
    readonly property color boxButtonBorder: "#ffffff"
    // The label column of a tab's form: every row's control starts at this distance from the left.
    readonly property real labelColumnMin: 96
    // Widths of a stepper's number field, buttons and unit.
    readonly property real stepperFieldWidth: 56
    readonly property real stepperButtonWidth: 30
    readonly property real stepperUnitWidth: 34
}
