/* Resource identifiers shared by the resource script and the program.
   Message identifiers never change meaning once shipped. */
#ifndef BOOTSTRAPPER_RESOURCE_H
#define BOOTSTRAPPER_RESOURCE_H

#define IDI_BOOTSTRAPPER              100
#define IDD_CSP_SETUP                 141

#define MSG_NOT_ADMINISTRATOR         101
#define MSG_CONFIRM_PLUGIN_CSP        102
#define MSG_CONFIRM_PLUGIN            103
#define MSG_PRODUCT_CAPTION           104
#define MSG_CSP_INSTALL_FAILED        105
#define MSG_PLUGIN_INSTALL_FAILED     106
#define MSG_RESTART_PLUGIN_CSP        107
#define MSG_RESTART_PLUGIN            108
#define MSG_SUCCESS_PLUGIN_CSP        109
#define MSG_SUCCESS_PLUGIN            110
#define MSG_RESTART_FAILED            111
#define MSG_UPDATE_FAILED_UNUSED      112
#define MSG_INSTALLING_CSP_UNUSED     113
#define MSG_INSTALLING_UNUSED         114
#define MSG_OS_TOO_OLD_UNUSED         116
#define MSG_WIN2000_NEEDS_SP4         117
#define MSG_WINXP_NEEDS_SP2           118
#define MSG_WIN2003_NEEDS_SP1         119
#define MSG_VISTA_NEEDS_SP2_UNUSED    120
#define MSG_VISTA_NEEDS_SP2_UNUSED_2  121
#define MSG_CONFIRM_PLUGIN_UCSP       122
#define MSG_RESTART_PLUGIN_UCSP       123
#define MSG_SUCCESS_PLUGIN_UCSP       124
#define MSG_CONFIRM_PLUGIN_CSP_UCSP   125
#define MSG_RESTART_PLUGIN_CSP_UCSP   126
#define MSG_SUCCESS_PLUGIN_CSP_UCSP   127
#define MSG_UPDATE_CAPTION            128
#define MSG_ERROR_CAPTION             129
#define MSG_CSP_TOO_OLD_UNUSED        130
#define MSG_INSTALLED_VERSION_UNREADABLE 131
#define MSG_PACKAGE_NOT_OPENED        133
#define MSG_PACKAGE_PROPERTY_UNREADABLE 134
#define MSG_PACKAGE_PATH_NOT_FOUND    135
#define MSG_INSTALLED_PATH_UNUSED     136
#define MSG_RELEASE_FLAGS_UNUSED      137
#define MSG_PRODUCT_LANGUAGE_UNUSED   138
#define MSG_PACKAGE_NOT_FOUND         139
#define MSG_OPTIONS_HIDE              142
#define MSG_OPTIONS_SHOW              143
#define MSG_TMP_UNREADABLE            144
#define MSG_CSP_REINSTALL_UNUSED      145
#define MSG_UCSP_REINSTALL_UNUSED     146
#define MSG_SAME_VERSION_REINSTALL    147
#define MSG_NEWER_CSP_UNUSED          148
#define MSG_NEWER_UCSP_UNUSED         149
#define MSG_NEWER_VERSION_INSTALLED   150
#define MSG_PRODUCT_CODE_UNREADABLE   151
#define MSG_SYSTEM_DIRECTORY_UNREADABLE 152
#define MSG_UPDATE_QUESTION           153

/* Controls of the "CSPSetup" dialog. */
#define IDC_NEXT                      140
#define IDC_LANG_RUSSIAN              1006
#define IDC_LANG_ENGLISH              1007
#define IDC_KC1                       1008
#define IDC_KC2                       1009
#define IDC_KC3                       1010
#define IDC_WELCOME_FRAME             1011
#define IDC_LANG_GROUP                1012
#define IDC_KC_GROUP                  1013
#define IDC_WELCOME_TEXT              1014
#define IDC_OPTIONS                   1015

#endif
