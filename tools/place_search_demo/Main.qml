import QtQuick
import QtQuick.Controls
import QtQuick.Window

// A phone-sized window with a search field over the place search's results.
ApplicationWindow {
    id: window

    required property QtObject controller    // SearchViewController
    // QuickSearchPresentation, whose module the demo does not import: a var, so
    // that its properties are looked up when read.
    required property var presentation

    width: 390
    height: 844
    visible: true
    title: "Kavrano place search"

    header: Pane {
        padding: 8

        TextField {
            id: searchField
            objectName: "searchField"
            width: parent.width
            placeholderText: "Search a place or address"
            Accessible.name: "Search a place or address"
            onActiveFocusChanged: {
                if (!activeFocus)
                    return
                window.presentation.active = true
                window.controller.updateSearchResults(text)
            }
            onTextEdited: {
                window.presentation.active = true
                window.controller.updateSearchResults(text)
            }
        }
    }

    Label {
        anchors.centerIn: parent
        text: "Type a place name above"
        opacity: 0.5
    }

    Loader {
        id: results
        objectName: "results"
        anchors.fill: parent
        visible: opacity > 0
        opacity: window.presentation.active ? 1 : 0
        Behavior on opacity {
            NumberAnimation { duration: window.presentation.closingDuration }
        }
        Component.onCompleted: setSource("qrc:/qt-project.org/imports/Kavrano/Measure/SearchViewController.qml",
                                         { controller: window.controller })
    }
}
