pragma Singleton
import QtQuick 2.9

// The interface's palette and sizes, shared by every page, panel and control.
QtObject {
    // Surfaces
    readonly property color windowBackground: "#f5f7fa"
    readonly property color panelBackground: "#ffffff"
    readonly property color panelBorder: "#dde3ea"
    readonly property color headerBackground: "#dceaf5"
    readonly property color fieldBorder: "#c8d1dc"
    readonly property color fieldBorderFocus: "#409EFF"
    readonly property color divider: "#e4e9ef"

    // Text
    readonly property color textPrimary: "#303641"
    readonly property color textSecondary: "#4b5663"
    readonly property color textMuted: "#8a94a3"
    readonly property color textOnAccent: "white"

    // Accent (switches, radios, selected tabs, primary buttons)
    readonly property color accent: "#409EFF"
    readonly property color accentPressed: "#337ECC"
    readonly property color accentDisabled: "#A0CFFF"
    readonly property color accentSoft: "#ecf5ff"
    readonly property color controlOff: "#C0C4CC"
    readonly property color knob: "white"

    // Scroll bar handle
    readonly property color scrollHandle: "#b4bcc7"
    readonly property color scrollHandlePressed: "#8a94a3"

    // Home button
    readonly property color homePressed: "#D9E4F5"
    readonly property color homeHovered: "#E1ECFA"
    readonly property color homeIdle: "#F2F6FC"

    // Link-status pill: serial, UDP, none, and amber for an open link whose device went quiet
    readonly property color pillSerialFill: "#edf6ff"
    readonly property color pillSerialBorder: "#89c7ff"
    readonly property color pillSerialText: "#2e78d2"
    readonly property color pillUdpFill: "#edf9f2"
    readonly property color pillUdpBorder: "#9ad8b7"
    readonly property color pillUdpText: "#2c9a61"
    readonly property color pillIdleFill: "#f5f7fa"
    readonly property color pillIdleBorder: "#d4dbe5"
    readonly property color pillIdleText: "#778292"
    readonly property color pillSilentFill: "#fff6e5"
    readonly property color pillSilentBorder: "#f0b654"
    readonly property color pillSilentText: "#b36b00"

    // Product page
    readonly property color productPressed: "#deecff"
    readonly property color productHovered: "#edf5ff"
    readonly property color productIdle: "#ffffff"
    readonly property color productBorderHovered: "#7ab8ff"
    readonly property color productBorderIdle: "#d7dfe8"
    readonly property color productShadow: "#1a3d6ea8"
    readonly property color langSelectedText: "white"
    readonly property color langOtherText: "#4b5663"
    readonly property color langTrack: "#e6ecf3"

    // Buttons
    readonly property color buttonIdle: "#f4f6f9"
    readonly property color buttonHovered: "#e9f2fd"
    readonly property color buttonPressed: "#d9e8fa"
    readonly property color buttonBorder: "#cfd7e2"

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
}
